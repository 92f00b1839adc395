// Publishing whole releases: the version tree, its determinism, the switch
// from the old tree to the new one, and what a failed publish leaves.
#include "tools/publish/publisher.h"

#include "engine/code_list.h"
#include "engine/file_checksum.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "publish_test_support.h"
#include "support/temp_dir.h"
#include "tools/publish/name_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

using publishtest::DosTime;
using publishtest::ReleaseFileSpec;
using publishtest::ZipEntry;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

constexpr uint32_t kOldTime = DosTime(2019, 5, 4, 10, 20, 30);
constexpr uint32_t kNewTime = DosTime(2024, 1, 2, 3, 4, 6);

std::string TwelveLevels() {
    std::string path;
    for (int level = 1; level <= 11; ++level) {
        path += "\\d" + std::to_string(level);
    }
    return path + "\\deep.txt";
}

// Nested folders, a blank in a name, GBK names with 0x5C second bytes, a
// read-only file, an empty file, twelve levels.
std::vector<ReleaseFileSpec> FirstRelease() {
    return {
        {"\\readme.txt", "Larkspan Office\r\n", kOldTime, false},
        {"\\program\\a.dll", std::string("MZ\0\1\2", 5), kOldTime, false},
        {"\\program\\a b.dll", "with a blank", kOldTime, false},
        {"\\program\\locked.dat", "read only", kNewTime, true},
        {"\\program\\empty.ini", "", kOldTime, false},
        {"\\" BING "\\" JOU ".dll", "gbk", kOldTime, false},
        {TwelveLevels(), "deep", kOldTime, false},
    };
}

std::vector<ReleaseFileSpec> SecondRelease() {
    return {
        {"\\readme.txt", "Larkspan Office 2\r\n", kNewTime, false},
        {"\\program\\a.dll", "new code", kNewTime, false},
        {"\\share\\new.txt", "new file", kNewTime, false},
    };
}

std::string MakeRelease(const TempDir& dir, const std::string& name,
                        const std::vector<ReleaseFileSpec>& files) {
    std::string release = dir / name;
    platform::CreateDir(release.c_str());
    for (const auto& file : files) {
        publishtest::MakeReleaseFile(release, file);
    }
    return release;
}

bool NeedsGbk(const std::vector<ReleaseFileSpec>& files) {
    return std::any_of(files.begin(), files.end(), [](const ReleaseFileSpec& f) {
        return std::any_of(f.path.begin(), f.path.end(), [](char c) {
            return platform::IsLeadByte(static_cast<unsigned char>(c));
        });
    });
}

std::string BaseName(const std::string& listPath) {
    return listPath.substr(platform::FindLastChar(listPath, '\\') + 1);
}

class PublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (NeedsGbk(FirstRelease()) && !publishtest::StoresGbkNames()) {
            GTEST_SKIP() << "this system cannot store GBK file names";
        }
        m_root = m_dir / "srv";
    }

    bool Publish(const std::string& release, std::string* error = nullptr,
                 publish::PublishObserver* observer = nullptr) {
        publish::PublishResult result;
        std::string message;
        bool ok = publish::Publish(release, m_root, "V", &result, &message, observer);
        if (error) {
            *error = message;
        }
        EXPECT_TRUE(result.warnings.empty());
        return ok;
    }

    std::string Served(const std::string& relative) const {
        return ReadFileBytes(m_root + "\\V\\" + relative);
    }

    TempDir m_dir;
    std::string m_root;
};

TEST_F(PublisherTest, WritesTheListAndAnArchivePerFile) {
    std::vector<ReleaseFileSpec> files = FirstRelease();
    std::string release = MakeRelease(m_dir, "rel", files);
    std::string error;
    ASSERT_TRUE(Publish(release, &error)) << error;

    // The list: CR LF lines, sorted by path, each read back as clients read it.
    std::vector<std::string> lines;
    ASSERT_TRUE(publishtest::SplitCrLfLines(Served("codelist.txt"), &lines));
    std::vector<ReleaseFileSpec> sorted = files;
    std::sort(sorted.begin(), sorted.end(),
              [](const ReleaseFileSpec& a, const ReleaseFileSpec& b) { return a.path < b.path; });
    ASSERT_EQ(lines.size(), sorted.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const ReleaseFileSpec& file = sorted[i];
        SCOPED_TRACE(publish::Printable(file.path));
        UpdateItem item = ParseUpdateItem(lines[i]);
        EXPECT_EQ(item.path, file.path);
        EXPECT_EQ(item.checksum, platform::UpperLatin(GetFileMD5(release + file.path)));
        EXPECT_EQ(item.size, static_cast<int32_t>(file.content.size()));
        EXPECT_EQ(item.zz, 0);

        std::vector<ZipEntry> entries;
        ASSERT_TRUE(publishtest::ReadZip(m_root + "\\V" + file.path + ".zip", &entries));
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, BaseName(file.path));
        EXPECT_EQ(entries[0].versionMadeBy >> 8, 0u);
        EXPECT_EQ(entries[0].dosTime, file.dosTime);
        EXPECT_EQ(entries[0].externalAttributes, file.readOnly ? 0x01u : 0x20u);
        EXPECT_TRUE(entries[0].content == file.content);
    }

    // The zipped list holds the same bytes, dated with the latest file.
    std::vector<ZipEntry> listEntries;
    ASSERT_TRUE(publishtest::ReadZip(m_root + "\\V\\codelist.txt.zip", &listEntries));
    ASSERT_EQ(listEntries.size(), 1u);
    EXPECT_EQ(listEntries[0].name, "codelist.txt");
    EXPECT_EQ(listEntries[0].content, Served("codelist.txt"));
    EXPECT_EQ(listEntries[0].dosTime, kNewTime);
    EXPECT_EQ(listEntries[0].externalAttributes, 0x20u);
}

TEST_F(PublisherTest, SameReleaseGivesTheSameBytes) {
    std::string release = MakeRelease(m_dir, "rel", FirstRelease());
    ASSERT_TRUE(Publish(release));
    auto first = publishtest::TreeBytes(m_root + "\\V");
    ASSERT_TRUE(Publish(release));
    auto second = publishtest::TreeBytes(m_root + "\\V");

    // Into another server root, from a copy of the release made in another order.
    std::vector<ReleaseFileSpec> reversed = FirstRelease();
    std::reverse(reversed.begin(), reversed.end());
    std::string copy = MakeRelease(m_dir, "copy", reversed);
    publish::PublishResult result;
    std::string error;
    ASSERT_TRUE(publish::Publish(copy, m_dir / "other", "V", &result, &error)) << error;
    auto third = publishtest::TreeBytes(m_dir / "other\\V");

    EXPECT_EQ(first.size(), FirstRelease().size() + 2);
    EXPECT_TRUE(first == second);
    EXPECT_TRUE(first == third);
}

// Looks at the server root between building the new tree and switching to it.
class SwitchObserver : public publish::PublishObserver {
public:
    explicit SwitchObserver(std::string versionPath) : m_versionPath(std::move(versionPath)) {}
    void BeforeSwitch(const std::string& treePath) override {
        servedBefore = ReadFileBytes(m_versionPath + "\\codelist.txt");
        newTree = publishtest::TreeBytes(treePath);
        called = true;
    }
    bool called = false;
    std::string servedBefore;
    std::map<std::string, std::string> newTree;

private:
    std::string m_versionPath;
};

TEST_F(PublisherTest, SwitchesOnlyToACompleteTreeAndRemovesTheOld) {
    std::string first = MakeRelease(m_dir, "rel1", FirstRelease());
    std::string second = MakeRelease(m_dir, "rel2", SecondRelease());
    ASSERT_TRUE(Publish(first));
    std::string firstList = Served("codelist.txt");

    SwitchObserver observer(m_root + "\\V");
    std::string error;
    ASSERT_TRUE(Publish(second, &error, &observer)) << error;
    ASSERT_TRUE(observer.called);
    EXPECT_EQ(observer.servedBefore, firstList);
    // Everything that is served after the switch was there before it.
    EXPECT_TRUE(observer.newTree == publishtest::TreeBytes(m_root + "\\V"));
    EXPECT_EQ(observer.newTree.size(), SecondRelease().size() + 2);
    EXPECT_NE(Served("codelist.txt"), firstList);
    EXPECT_FALSE(testsupport::FileExists(m_root + "\\V\\program\\empty.ini.zip"));

    // POSIX keeps the tree served until now for one more publish: a request
    // may have followed the old link just before the switch.
    ASSERT_TRUE(Publish(first));
#ifdef _WIN32
    std::set<std::string> expected = {"V"};
#else
    std::set<std::string> expected = {"V", ".V.2", ".V.3"};
#endif
    EXPECT_EQ(publishtest::FolderNames(m_root), expected);
    EXPECT_EQ(Served("codelist.txt"), firstList);
}

struct RefusedCase {
    const char* label;
    std::vector<ReleaseFileSpec> extra;
    const char* inMessage;
};

std::ostream& operator<<(std::ostream& os, const RefusedCase& c) { return os << c.label; }

std::vector<RefusedCase> RefusedCases() {
    std::vector<RefusedCase> cases = {
        {"percent", {{"\\program\\50%.dll", "x", kOldTime, false}}, "50%.dll"},
        {"hash", {{"\\a#b.txt", "x", kOldTime, false}}, "a#b.txt"},
        {"leading_blank_folder", {{"\\ sub\\a.txt", "x", kOldTime, false}}, "\\ sub"},
        {"list_name_at_top", {{"\\codelist.txt", "x", kOldTime, false}}, "codelist.txt"},
        {"file_and_folder_share_a_server_name",
         {{"\\x", "x", kOldTime, false}, {"\\x.zip\\y", "y", kOldTime, false}},
         "x.zip"},
    };
#ifndef _WIN32
    // Names that Windows file systems cannot hold at all.
    std::vector<RefusedCase> posixOnly = {
        {"less_than", {{"\\a<b.txt", "x", kOldTime, false}}, "a<b.txt"},
        {"question_mark", {{"\\a?b.txt", "x", kOldTime, false}}, "a?b.txt"},
        {"control", {{"\\a\x01.txt", "x", kOldTime, false}}, "a\\x01.txt"},
        {"trailing_blank", {{"\\a.txt ", "x", kOldTime, false}}, "a.txt "},
        {"lead_byte_at_end", {{"\\bad\x81", "x", kOldTime, false}}, "bad\\x81"},
        {"lead_byte_before_blank", {{"\\bad\x81 x", "x", kOldTime, false}}, "bad\\x81 x"},
        {"letter_case_only", {{"\\README.TXT", "x", kOldTime, false}}, "README.TXT"},
        // Windows tests cannot make a path this long with the ANSI calls.
        {"path_too_long_for_clients",
         {{"\\" + std::string(120, 'n') + "\\" + std::string(120, 'n'), "x", kOldTime, false}},
         "nnnn"},
    };
    cases.insert(cases.end(), posixOnly.begin(), posixOnly.end());
#endif
    return cases;
}

class RefusedPublishTest : public PublisherTest,
                           public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedPublishTest, LeavesTheServedTreeAlone) {
    std::string good = MakeRelease(m_dir, "good", FirstRelease());
    ASSERT_TRUE(Publish(good));
    auto served = publishtest::TreeBytes(m_root + "\\V");
    auto names = publishtest::FolderNames(m_root);

    std::vector<ReleaseFileSpec> files = FirstRelease();
    files.insert(files.end(), GetParam().extra.begin(), GetParam().extra.end());
    std::string bad = MakeRelease(m_dir, "bad", files);
    std::string error;
    EXPECT_FALSE(Publish(bad, &error));
    EXPECT_NE(error.find(GetParam().inMessage), std::string::npos) << error;
    EXPECT_TRUE(publishtest::TreeBytes(m_root + "\\V") == served);
    EXPECT_EQ(publishtest::FolderNames(m_root), names);
}

INSTANTIATE_TEST_SUITE_P(Names, RefusedPublishTest, ::testing::ValuesIn(RefusedCases()),
                         [](const ::testing::TestParamInfo<RefusedCase>& param) {
                             return std::string(param.param.label);
                         });

// A release file that cannot be read: publishing fails after part of the new
// tree is written.
class Unreadable {
public:
    explicit Unreadable(const std::string& path) {
#ifdef _WIN32
        testsupport::WriteFileBytes(path, "held");
        m_handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
#else
        // A link to nothing lists as a file and cannot be opened.
        m_ok = symlink("nowhere", platform::NativePath(path.c_str()).c_str()) == 0;
#endif
    }
    ~Unreadable() {
#ifdef _WIN32
        if (m_handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_handle);
        }
#endif
    }
    Unreadable(const Unreadable&) = delete;
    Unreadable& operator=(const Unreadable&) = delete;
    bool ok() const {
#ifdef _WIN32
        return m_handle != INVALID_HANDLE_VALUE;
#else
        return m_ok;
#endif
    }

private:
#ifdef _WIN32
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#else
    bool m_ok = false;
#endif
};

TEST_F(PublisherTest, UnreadableFileLeavesTheServedTreeAndNoHalfTree) {
    std::string good = MakeRelease(m_dir, "good", FirstRelease());
    ASSERT_TRUE(Publish(good));
    auto served = publishtest::TreeBytes(m_root + "\\V");
    auto names = publishtest::FolderNames(m_root);

    std::string bad = MakeRelease(m_dir, "bad", FirstRelease());
    // Sorts after most files, so archives have been written when it fails.
    Unreadable unreadable(bad + "\\zz.dll");
    ASSERT_TRUE(unreadable.ok());
    std::string error;
    EXPECT_FALSE(Publish(bad, &error));
    EXPECT_NE(error.find("zz.dll"), std::string::npos) << error;
    EXPECT_TRUE(publishtest::TreeBytes(m_root + "\\V") == served);
    EXPECT_EQ(publishtest::FolderNames(m_root), names);
}

TEST_F(PublisherTest, RefusesABadVersionNameBeforeWriting) {
    std::string good = MakeRelease(m_dir, "good", FirstRelease());
    publish::PublishResult result;
    std::string error;
    EXPECT_FALSE(publish::Publish(good, m_root, ".V", &result, &error));
    EXPECT_NE(error.find(".V"), std::string::npos) << error;
    EXPECT_FALSE(testsupport::FolderExists(m_root));
}

#ifndef _WIN32
TEST_F(PublisherTest, ReadersAlwaysFindOneWholeList) {
    std::string first = MakeRelease(m_dir, "rel1", FirstRelease());
    std::string second = MakeRelease(m_dir, "rel2", SecondRelease());
    ASSERT_TRUE(Publish(first));
    std::string firstList = Served("codelist.txt");
    ASSERT_TRUE(Publish(second));
    std::string secondList = Served("codelist.txt");

    // A reader reads the served list again and again while releases alternate.
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, bad{0};
    std::thread reader([&] {
        while (!done.load()) {
            std::string list = Served("codelist.txt");
            if (list != firstList && list != secondList) {
                ++bad;
            }
            ++reads;
        }
    });
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(Publish(i % 2 == 0 ? first : second));
    }
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0) << "of " << reads.load() << " reads";
    EXPECT_EQ(Served("codelist.txt"), secondList);
}

TEST_F(PublisherTest, PlainVersionFolderIsReplacedByALink) {
    std::string old = m_root + "\\V";
    platform::CreateDir(m_root.c_str());
    platform::CreateDir(old.c_str());
    testsupport::WriteFileBytes(old + "\\codelist.txt", "hand made");
    std::string release = MakeRelease(m_dir, "rel", SecondRelease());
    std::string error;
    ASSERT_TRUE(Publish(release, &error)) << error;

    struct stat st {};
    ASSERT_EQ(lstat(platform::NativePath(old.c_str()).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(Served("codelist.txt"), "hand made");
    // The hand-made folder now is the previous tree, kept for one publish.
    EXPECT_EQ(publishtest::FolderNames(m_root), (std::set<std::string>{"V", ".V.1", ".V.2"}));
}
#endif

}  // namespace
