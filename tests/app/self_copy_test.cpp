// The launcher's self-copy under the real Windows API (Wine): the copy is
// checked and held before it is started, and nothing is started that was not
// made and checked. The consent prompt is the one thing no test can answer:
// a recording starter stands in for the system's when the answer matters.
#include "app/self_copy.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>

namespace {

using platform::Elevation;
using platform::ProgramStart;
using platform::StartCall;
using platform::UniqueFileHandle;
using platform::UniqueKernelHandle;
using testsupport::TempDir;

std::string SelfPath() {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

// Records the start it is asked for and, meanwhile, what a writer, a deleter
// and a renamer of the copy and its folder would get; answers as the user
// would at the consent prompt.
class RecordingStarter : public platform::ProgramStarter {
public:
    RecordingStarter(std::string folder, bool userAgrees)
        : m_folder(std::move(folder)), m_userAgrees(userAgrees) {}

    UniqueKernelHandle Start(const ProgramStart& start) override {
        ++calls;
        last = start;
        UniqueFileHandle writer(CreateFileA(start.file.c_str(), GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
        writerError = writer ? 0 : GetLastError();
        deleted = DeleteFileA(start.file.c_str()) != FALSE;
        folderMoved = MoveFileA(m_folder.c_str(), (m_folder + "-moved").c_str()) != FALSE;
        if (!m_userAgrees) {
            return UniqueKernelHandle();
        }
        // Some process: the launcher only needs to know that one started.
        return UniqueKernelHandle(OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId()));
    }

    int calls = 0;
    ProgramStart last{};
    DWORD writerError = 0;
    bool deleted = false;
    bool folderMoved = false;

private:
    std::string m_folder;
    bool m_userAgrees;
};

struct StartCase {
    const char* name;
    Elevation elevation;
    bool userAgrees;
    StartCall call;
    const char* verb;
    SelfCopyResult result;
};

std::ostream& operator<<(std::ostream& out, const StartCase& c) { return out << c.name; }

constexpr StartCase kStartCases[] = {
    {"Elevated", Elevation::kElevated, true, StartCall::kCreateProcess, "",
     SelfCopyResult::kStarted},
    {"NoElevationOnTheSystem", Elevation::kUnknown, true, StartCall::kCreateProcess, "",
     SelfCopyResult::kStarted},
    {"NotElevated", Elevation::kNotElevated, true, StartCall::kShellExecuteEx, "runas",
     SelfCopyResult::kStarted},
    {"NotElevatedAndTheUserDeclines", Elevation::kNotElevated, false, StartCall::kShellExecuteEx,
     "runas", SelfCopyResult::kNotStarted},
};

class SelfCopyStartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(SelfCopyStartTest, StartsTheCheckedCopyItHolds) {
    const StartCase& c = GetParam();
    TempDir dir;
    std::string copy = dir / "lksupdate_tmp.exe";
    RecordingStarter starter(dir.path(), c.userAgrees);

    EXPECT_EQ(
        StartSelfCopy(SelfPath().c_str(), dir.path().c_str(), copy.c_str(), c.elevation, starter),
        c.result);

    ASSERT_EQ(starter.calls, 1);
    EXPECT_EQ(starter.last.call, c.call);
    EXPECT_EQ(starter.last.verb, c.verb);
    EXPECT_EQ(starter.last.file, copy);
    EXPECT_EQ(starter.last.parameters, "");
    EXPECT_EQ(starter.last.show, SW_SHOW);
    // While the start ran, the copy could not be written, deleted or moved
    // away with its folder.
    EXPECT_EQ(starter.writerError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(starter.deleted);
    EXPECT_FALSE(starter.folderMoved);
    EXPECT_EQ(testsupport::ReadFileBytes(copy), testsupport::ReadFileBytes(SelfPath()));
}

INSTANTIATE_TEST_SUITE_P(Elevation, SelfCopyStartTest, ::testing::ValuesIn(kStartCases));

TEST(SelfCopyTest, ACopyThatCannotBeOverwrittenIsNotStarted) {
    TempDir dir;
    std::string copy = dir / "lksupdate_tmp.exe";
    ASSERT_TRUE(testsupport::WriteFileBytes(copy, "MZ another program"));
    // As a running copy holds its file: readers only.
    UniqueFileHandle holder(CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    RecordingStarter starter(dir.path(), true);

    EXPECT_EQ(StartSelfCopy(SelfPath().c_str(), dir.path().c_str(), copy.c_str(),
                            Elevation::kElevated, starter),
              SelfCopyResult::kCopyFailed);
    EXPECT_EQ(starter.calls, 0);
}

TEST(SelfCopyTest, WritesNotIntoAFileThatAnotherNameReaches) {
    TempDir dir;
    std::string copy = dir / "lksupdate_tmp.exe";
    // Another file that the copy's name reaches too.
    std::string other = dir / "other.dll";
    ASSERT_TRUE(testsupport::WriteFileBytes(other, "someone else's file"));
    ASSERT_TRUE(CreateHardLinkA(copy.c_str(), other.c_str(), nullptr));
    RecordingStarter starter(dir.path(), true);

    EXPECT_EQ(StartSelfCopy(SelfPath().c_str(), dir.path().c_str(), copy.c_str(),
                            Elevation::kElevated, starter),
              SelfCopyResult::kCheckFailed);
    EXPECT_EQ(testsupport::ReadFileBytes(other), "someone else's file");
    EXPECT_EQ(starter.calls, 0);
}

TEST(SelfCopyTest, AnOlderCopyIsOverwritten) {
    TempDir dir;
    std::string copy = dir / "lksupdate_tmp.exe";
    ASSERT_TRUE(testsupport::WriteFileBytes(copy, std::string(3 << 20, 'x')));  // longer
    RecordingStarter starter(dir.path(), true);

    EXPECT_EQ(StartSelfCopy(SelfPath().c_str(), dir.path().c_str(), copy.c_str(),
                            Elevation::kElevated, starter),
              SelfCopyResult::kStarted);
    EXPECT_EQ(testsupport::ReadFileBytes(copy), testsupport::ReadFileBytes(SelfPath()));
}

// Root ignores read-only bits, natively and under Wine: CTest runs this case
// again as the unprivileged lkstest, with LKS_EXPECT_UNPRIVILEGED set.
TEST(LauncherReadOnlyTest, AReadOnlyCopyIsNeitherOverwrittenNorStarted) {
    TempDir dir;
    std::string copy = dir / "lksupdate_tmp.exe";
    ASSERT_TRUE(testsupport::WriteFileBytes(copy, "MZ another program"));
    ASSERT_TRUE(SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY));
    if (UniqueFileHandle(
            CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr))) {
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (std::getenv("LKS_EXPECT_UNPRIVILEGED")) {
            FAIL() << "this process writes to read-only files: it must run unprivileged";
        }
        GTEST_SKIP() << "root ignores read-only files; CTest runs this as lkstest";
    }
    RecordingStarter starter(dir.path(), true);

    EXPECT_EQ(StartSelfCopy(SelfPath().c_str(), dir.path().c_str(), copy.c_str(),
                            Elevation::kElevated, starter),
              SelfCopyResult::kCopyFailed);
    EXPECT_EQ(starter.calls, 0);
    EXPECT_EQ(testsupport::ReadFileBytes(copy), "MZ another program");
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(SelfCopyTest, NothingIsCopiedIntoAFolderThatIsNone) {
    TempDir dir;
    std::string notFolder = dir / "temp";
    ASSERT_TRUE(testsupport::WriteFileBytes(notFolder, "a file"));
    RecordingStarter starter(notFolder, true);
    for (const std::string& folder : {notFolder, dir / "missing"}) {
        SCOPED_TRACE(folder);
        std::string copy = folder + "\\lksupdate_tmp.exe";
        EXPECT_EQ(StartSelfCopy(SelfPath().c_str(), folder.c_str(), copy.c_str(),
                                Elevation::kElevated, starter),
                  SelfCopyResult::kCheckFailed);
        EXPECT_FALSE(testsupport::FileExists(copy));
    }
    EXPECT_EQ(starter.calls, 0);
}

TEST(SelfCopyTest, AHeldFolderCannotBeMovedAway) {
    TempDir dir;
    std::string folder = dir / "temp";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    UniqueFileHandle held = HoldFolder(folder.c_str());
    ASSERT_TRUE(held);
    EXPECT_FALSE(MoveFileA(folder.c_str(), (dir / "elsewhere").c_str()));
    EXPECT_TRUE(testsupport::WriteFileBytes(folder + "\\inside", "files can still be made"));
}

struct CopyCase {
    const char* name;
    std::function<bool(const std::string& self, const std::string& copy)> make;
    bool held;
};

std::ostream& operator<<(std::ostream& out, const CopyCase& c) { return out << c.name; }

const CopyCase kCopyCases[] = {
    {"SameBytes",
     [](const std::string& self, const std::string& copy) {
         return testsupport::WriteFileBytes(copy, self);
     },
     true},
    {"LastByteDiffers",
     [](const std::string& self, const std::string& copy) {
         std::string bytes = self;
         bytes.back() ^= 1;
         return testsupport::WriteFileBytes(copy, bytes);
     },
     false},
    {"FirstByteDiffers",
     [](const std::string& self, const std::string& copy) {
         std::string bytes = self;
         bytes.front() ^= 1;
         return testsupport::WriteFileBytes(copy, bytes);
     },
     false},
    {"OneByteMore",
     [](const std::string& self, const std::string& copy) {
         return testsupport::WriteFileBytes(copy, self + "x");
     },
     false},
    {"OneByteLess",
     [](const std::string& self, const std::string& copy) {
         return testsupport::WriteFileBytes(copy, self.substr(0, self.size() - 1));
     },
     false},
    {"AFolder",
     [](const std::string&, const std::string& copy) {
         return CreateDirectoryA(copy.c_str(), nullptr) != FALSE;
     },
     false},
    {"Nothing", [](const std::string&, const std::string&) { return true; }, false},
    {"SameBytesUnderTwoNames",
     [](const std::string& self, const std::string& copy) {
         return testsupport::WriteFileBytes(copy + ".other", self) &&
                CreateHardLinkA(copy.c_str(), (copy + ".other").c_str(), nullptr);
     },
     false},
};

class HeldCopyTest : public ::testing::TestWithParam<CopyCase> {};

// What the launcher's check makes of a file at the copy's place.
TEST_P(HeldCopyTest, PassesOnlyAPlainFileWithTheLaunchersBytes) {
    TempDir dir;
    std::string copy = dir / "lksupdate_tmp.exe";
    std::string self = testsupport::ReadFileBytes(SelfPath());
    ASSERT_FALSE(self.empty());
    ASSERT_TRUE(GetParam().make(self, copy));
    UniqueFileHandle file(
        CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    bool passes = file && IsPlainFileWithOneName(file.get(), copy.c_str()) &&
                  HoldsTheBytesOf(file.get(), SelfPath().c_str());
    EXPECT_EQ(passes, GetParam().held);
}

INSTANTIATE_TEST_SUITE_P(Copies, HeldCopyTest, ::testing::ValuesIn(kCopyCases));

TEST(ProgramStartTest, WineAnswersTheElevationQuestion) {
    EXPECT_NE(platform::CurrentElevation(), Elevation::kUnknown);
}

// The system's own calls, with a program that reports its command line.
TEST(ProgramStartTest, TheSystemStarterStartsTheProgramWithItsBarePath) {
    const char* binaryDir = std::getenv("LKS_BINARY_DIR");
    ASSERT_NE(binaryDir, nullptr);
    TempDir dir;
    std::string probe = dir / "lksupdate_tmp.exe";
    // Wine's drive Z: is the Linux root.
    std::string built = "Z:" + std::string(binaryDir) + "/tests/app/lks-start-probe.exe";
    std::replace(built.begin(), built.end(), '/', '\\');
    ASSERT_TRUE(CopyFileA(built.c_str(), probe.c_str(), FALSE)) << built;
    for (Elevation elevation : {Elevation::kElevated, Elevation::kNotElevated}) {
        ProgramStart start = platform::PlanProgramStart(elevation, probe);
        UniqueKernelHandle process = platform::SystemProgramStarter().Start(start);
        ASSERT_TRUE(process) << "error " << GetLastError();
        ASSERT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
        DWORD status = 0;
        ASSERT_TRUE(GetExitCodeProcess(process.get(), &status));
        if (start.call == StartCall::kCreateProcess) {
            EXPECT_EQ(status, 42u) << "the command line is not the bare path";
        } else {
            // The shell builds its own command line (the path in quotes).
            EXPECT_TRUE(status == 42u || status == 43u) << status;
        }
    }
}

}  // namespace
