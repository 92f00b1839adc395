// UnzipArchive on archives made by Info-ZIP zip and Python's zipfile: the tree
// it writes, what it refuses, times and attributes.
#include "sys/unzipper.h"

#include "platform/fs.h"
#include "support/temp_dir.h"
#include "zip_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <ctime>
#endif

using testsupport::FileExists;
using testsupport::FolderExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using ziptest::Fixture;
using ziptest::ListTree;

namespace {

const std::vector<std::string> kTreeFiles = {"a\\b\\c.txt", "big.bin", "big.txt", "d.txt"};

std::string TreeSource(const std::string& relative) { return Fixture("src\\tree\\" + relative); }

// The extracted files hold the bytes of the files that were zipped.
void ExpectTreeContents(const std::string& folder, const std::vector<std::string>& relatives,
                        bool flat) {
    for (const auto& rel : relatives) {
        std::string name = flat ? rel.substr(rel.rfind('\\') + 1) : rel;
        EXPECT_EQ(ReadFileBytes(folder + "\\" + name), ReadFileBytes(TreeSource(rel))) << name;
    }
}

struct TreeCase {
    const char* archive;
    bool ignorePaths;
    std::vector<std::string> expected;
};

std::ostream& operator<<(std::ostream& os, const TreeCase& c) {
    return os << c.archive << (c.ignorePaths ? " ignoring paths" : "");
}

class UnzipTreeTest : public testing::TestWithParam<TreeCase> {};

TEST_P(UnzipTreeTest, WritesTheEntriesBelowTheFolder) {
    const TreeCase& c = GetParam();
    TempDir dir;
    std::string target = dir / "x\\y";  // neither level exists yet
    ASSERT_TRUE(UnzipArchive(Fixture(c.archive).c_str(), target.c_str(), c.ignorePaths));
    EXPECT_EQ(ListTree(target), c.expected);
    ExpectTreeContents(target, kTreeFiles, c.ignorePaths);
}

INSTANTIATE_TEST_SUITE_P(
    Archives, UnzipTreeTest,
    testing::Values(
        TreeCase{
            "tree.zip", false, {"a\\", "a\\b\\", "a\\b\\c.txt", "big.bin", "big.txt", "d.txt"}},
        // Without folder entries the folders come from the file paths.
        TreeCase{"tree_nodirs.zip",
                 false,
                 {"a\\", "a\\b\\", "a\\b\\c.txt", "big.bin", "big.txt", "d.txt"}},
        TreeCase{"tree_nodirs.zip", true, {"big.bin", "big.txt", "c.txt", "d.txt"}},
        // Folder entries are folders still, only files lose their path.
        TreeCase{"tree.zip", true, {"a\\", "a\\b\\", "big.bin", "big.txt", "c.txt", "d.txt"}}));

struct FolderFormCase {
    const char* suffix;
    const char* label;
};

std::ostream& operator<<(std::ostream& os, const FolderFormCase& c) { return os << c.label; }

class UnzipFolderFormTest : public testing::TestWithParam<FolderFormCase> {};

TEST_P(UnzipFolderFormTest, TrailingBlanksAndSeparatorsNameTheSameFolder) {
    TempDir dir;
    std::string target = dir / (std::string("x") + GetParam().suffix);
    ASSERT_TRUE(UnzipArchive(Fixture("tree.zip").c_str(), target.c_str(), false));
    EXPECT_EQ(ListTree(dir.path()),
              (std::vector<std::string>{"x\\", "x\\a\\", "x\\a\\b\\", "x\\a\\b\\c.txt",
                                        "x\\big.bin", "x\\big.txt", "x\\d.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Forms, UnzipFolderFormTest,
                         testing::Values(FolderFormCase{"\\ ", "backslash and blank"},
                                         FolderFormCase{"\\\\", "two backslashes"},
                                         FolderFormCase{" \t\r\n", "white space"},
                                         FolderFormCase{"\\", "one backslash"}));

struct FailureCase {
    const char* archive;
    const char* why;
};

std::ostream& operator<<(std::ostream& os, const FailureCase& c) { return os << c.why; }

class UnzipFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(UnzipFailureTest, FailsAndWritesNoFile) {
    TempDir dir;
    std::string target = dir / "out";
    EXPECT_FALSE(UnzipArchive(Fixture(GetParam().archive).c_str(), target.c_str(), false));
    for (const auto& name : ListTree(dir.path())) {
        EXPECT_EQ(name, "out\\") << "written: " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Archives, UnzipFailureTest,
                         testing::Values(FailureCase{"empty.zip", "an archive without entries"},
                                         FailureCase{"not_a_zip.zip", "a text file"},
                                         FailureCase{"truncated.zip", "an archive cut short"},
                                         FailureCase{"missing.zip", "no file at all"}));

TEST(UnzipArchiveTest, RefusesMissingArguments) {
    TempDir dir;
    std::string zip = Fixture("tree.zip");
    EXPECT_FALSE(UnzipArchive(nullptr, dir.path().c_str(), false));
    EXPECT_FALSE(UnzipArchive("", dir.path().c_str(), false));
    EXPECT_FALSE(UnzipArchive(zip.c_str(), nullptr, false));
    EXPECT_FALSE(UnzipArchive(zip.c_str(), "", false));
    EXPECT_TRUE(ListTree(dir.path()).empty());
}

TEST(UnzipArchiveTest, TargetThatIsAFileFails) {
    TempDir dir;
    std::string target = dir / "x";
    ASSERT_TRUE(testsupport::WriteFileBytes(target, "a file"));
    EXPECT_FALSE(UnzipArchive(Fixture("tree.zip").c_str(), target.c_str(), false));
    EXPECT_EQ(ReadFileBytes(target), "a file");
    EXPECT_FALSE(UnzipArchive(Fixture("tree.zip").c_str(), (target + "\\sub").c_str(), false));
}

TEST(UnzipArchiveTest, FolderEntriesMakeFoldersOnly) {
    TempDir dir;
    ASSERT_TRUE(UnzipArchive(Fixture("dirs.zip").c_str(), dir.path().c_str(), false));
    // "dirattr" has the directory attribute without a trailing slash; "plain/"
    // has a trailing slash without the attribute: its folder is made, and the
    // file with no name after it fails.
    EXPECT_EQ(ListTree(dir.path()),
              (std::vector<std::string>{"dirattr\\", "folder\\", "plain\\", "x.txt"}));
    EXPECT_EQ(ReadFileBytes(dir / "x.txt"), "x\n");
}

TEST(UnzipArchiveTest, GbkNamesKeepTheirSecondByteBackslash) {
    ASSERT_TRUE(ziptest::StoresNonAsciiNames()) << ziptest::kNoNonAsciiNames;
    TempDir dir;
    ASSERT_TRUE(UnzipArchive(Fixture("gbk.zip").c_str(), dir.path().c_str(), false));
    // 乗 = 81 5C and 昞 = 95 5C: only the real separators split the names.
    const std::string cheng = "\x81\x5c", bing = "\x95\x5c", biao = "\xb1\xed";
    std::vector<std::string> expected = {cheng + "\\", cheng + "\\" + bing + ".txt", biao + ".txt",
                                         "dir\\", "dir\\" + cheng};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListTree(dir.path()), expected);
    EXPECT_EQ(ReadFileBytes(dir / (cheng + "\\" + bing + ".txt")), cheng + "/" + bing + ".txt\n");
    EXPECT_EQ(ReadFileBytes(dir / ("dir\\" + cheng)), "dir/" + cheng + "\n");
}

struct ReadOnlyCase {
    const char* archive;
    const char* readOnly;  // the read-only entry
    const char* content;
    const char* writable;  // an entry beside it without the attribute, or null
};

std::ostream& operator<<(std::ostream& os, const ReadOnlyCase& c) { return os << c.archive; }

class UnzipReadOnlyTest : public testing::TestWithParam<ReadOnlyCase> {};

TEST_P(UnzipReadOnlyTest, AttributeIsGivenToTheWrittenFile) {
    const ReadOnlyCase& c = GetParam();
    TempDir dir;
    ASSERT_TRUE(UnzipArchive(Fixture(c.archive).c_str(), dir.path().c_str(), false));
    EXPECT_EQ(ReadFileBytes(dir / c.readOnly), c.content);
    EXPECT_TRUE(platform::GetAttributes((dir / c.readOnly).c_str()).readOnly);
    if (c.writable) {
        EXPECT_FALSE(platform::GetAttributes((dir / c.writable).c_str()).readOnly);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Archives, UnzipReadOnlyTest,
    testing::Values(
        // Made on DOS: the attributes are the DOS ones alone.
        ReadOnlyCase{"readonly_v1.zip", "ro.txt", "read-only v1\n", "rw.txt"},
        // Made on Unix by Info-ZIP: the mode in the high 16 bits, the DOS bit in the low.
        ReadOnlyCase{"unix_readonly.zip", "locked.txt", "made read-only on Unix\n", nullptr}));

struct TimeCase {
    const char* archive;
    const char* entry;
    uint32_t dosTime;
};

std::ostream& operator<<(std::ostream& os, const TimeCase& c) {
    return os << c.archive << ":" << c.entry;
}

class UnzipTimeTest : public testing::TestWithParam<TimeCase> {
protected:
#ifndef _WIN32
    // A zone away from UTC, so that local time and UTC cannot be mixed up unseen.
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_hadTz = tz != nullptr;
        m_oldTz = tz ? tz : "";
        setenv("TZ", "CST-8", 1);
        tzset();
    }
    void TearDown() override {
        if (m_hadTz) {
            setenv("TZ", m_oldTz.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    bool m_hadTz = false;
    std::string m_oldTz;
#endif
};

TEST_P(UnzipTimeTest, StoredLocalTimeBecomesTheLastWriteTime) {
    const TimeCase& c = GetParam();
    TempDir dir;
    ASSERT_TRUE(UnzipArchive(Fixture(c.archive).c_str(), dir.path().c_str(), false));
    std::string file = dir / c.entry;
    EXPECT_EQ(platform::GetFileDosTime(file.c_str()), c.dosTime);
#ifdef _WIN32
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME created, accessed, written;
    ASSERT_TRUE(GetFileTime(h, &created, &accessed, &written));
    CloseHandle(h);
    EXPECT_EQ(CompareFileTime(&created, &written), 0);
    // The last-access time is the moment of extraction, years after the stored time.
    EXPECT_GT(CompareFileTime(&accessed, &written), 0);
#else
    // 2021-06-15 12:00 in UTC+8 is 04:00 UTC.
    struct tm local {};
    local.tm_year = static_cast<int>((c.dosTime >> 25) + 80);
    local.tm_mon = static_cast<int>((c.dosTime >> 21) & 0x0F) - 1;
    local.tm_mday = static_cast<int>((c.dosTime >> 16) & 0x1F);
    local.tm_hour = static_cast<int>((c.dosTime >> 11) & 0x1F);
    local.tm_min = static_cast<int>((c.dosTime >> 5) & 0x3F);
    local.tm_sec = static_cast<int>((c.dosTime & 0x1F) * 2);
    time_t utc = timegm(&local) - 8 * 3600;
    struct stat st {};
    ASSERT_EQ(stat(platform::NativePath(file.c_str()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, utc);
    EXPECT_GT(st.st_atime, st.st_mtime);
#endif
}

INSTANTIATE_TEST_SUITE_P(Entries, UnzipTimeTest,
                         testing::Values(TimeCase{"info.zip", "dir\\info.txt",
                                                  ziptest::DosDateTime(2021, 6, 15, 12, 0, 0)},
                                         TimeCase{"tree.zip", "d.txt",
                                                  ziptest::DosDateTime(2020, 3, 4, 5, 6, 8)}));

}  // namespace
