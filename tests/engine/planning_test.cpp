#include "engine/update_planning.h"

#include "engine/md5.h"
#include "engine/update_texts.h"
#include "platform/fs.h"
#include "support/recording_display.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

std::string Md5Upper(const std::string& content) {
    CMD5 md5;
    md5.Update(content.data(), content.size());
    std::string hex = DigestToHex(md5.Final());
    for (char& c : hex) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return hex;
}

std::string Line(const std::string& path, const std::string& md, int size = 1) {
    return "<FN" + path + "><MD" + md + "><SZ" + std::to_string(size) + "><ZZ0>\r\n";
}

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

const std::string kA = Md5Upper("content of a");
const std::string kB = Md5Upper("content of b");
const std::string kOld = Md5Upper("old content");

struct PlanCase {
    const char* name;
    std::optional<std::string> installed;     // the installation's codelist.txt
    std::string fresh;                        // the new codelist.txt
    std::map<std::string, std::string> temp;  // files already in the temporary folder
    std::vector<std::string> downloads;       // paths of m_arrDownload, in order
    std::vector<bool> installable;            // per new line: found fetched
    bool result;
};

std::ostream& operator<<(std::ostream& os, const PlanCase& c) { return os << c.name; }

// clang-format off
const PlanCase kCases[] = {
    {"NothingInstalledNothingFetched", std::nullopt, Line("\\a.dll", kA) + Line("\\sub\\b.dll", kB), {},
     {"\\a.dll", "\\sub\\b.dll"}, {false, false}, true},
    {"EmptyNewList", std::nullopt, "", {}, {}, {}, false},
    {"CurrentEntryIsLeftAlone", Line("\\a.dll", kA), Line("\\a.dll", kA) + Line("\\b.dll", kB), {},
     {"\\b.dll"}, {false, false}, true},
    {"EverythingCurrent", Line("\\a.dll", kA) + Line("\\b.dll", kB), Line("\\b.dll", kB) + Line("\\a.dll", kA),
     {}, {}, {false, false}, false},
    {"FetchedEarlierCountsWithoutDownload", Line("\\a.dll", kOld), Line("\\a.dll", kA),
     {{"\\a.dll", "content of a"}}, {}, {true}, true},
    {"FetchedFileWithOtherContentIsFetchedAgain", Line("\\a.dll", kOld), Line("\\a.dll", kA),
     {{"\\a.dll", "stale"}}, {"\\a.dll"}, {false}, true},
    {"LowerCaseChecksumNeverCountsFetched", std::nullopt, Line("\\a.dll", Lower(kA)),
     {{"\\a.dll", "content of a"}}, {"\\a.dll"}, {false}, true},
    {"PathsCompareWithLetterCase", Line("\\A.dll", kA), Line("\\a.dll", kA), {}, {"\\a.dll"}, {false}, true},
    {"OnlyTheFirstInstalledItemOfAPathCounts", Line("\\a.dll", kOld) + Line("\\a.dll", kA), Line("\\a.dll", kA),
     {}, {"\\a.dll"}, {false}, true},
    {"DuplicateNewEntriesArePlannedEach", std::nullopt, Line("\\a.dll", kA) + Line("\\a.dll", kA), {},
     {"\\a.dll", "\\a.dll"}, {false, false}, true},
    {"LongerInstalledChecksumAgrees", Line("\\a.dll", kA + "EXTRA"), Line("\\a.dll", kA), {}, {}, {false}, false},
    {"EmptyNewChecksumAgreesWithAnyInstalled", Line("\\a.dll", kA), "<FN\\a.dll><SZ3>\n", {}, {}, {false}, false},
    {"BlankAndHeadingLinesNameNoFile", std::nullopt, "\r\nUpdate list of V2\r\n" + Line("\\a.dll", kA), {},
     {"\\a.dll"}, {false, false, false}, true},
    // Never opened: the planning would read a device outside the folder for ever.
    {"UnsafePathIsNeverOpened", std::nullopt, Line("\\..\\..\\..\\..\\dev\\zero", kA), {},
     {"\\..\\..\\..\\..\\dev\\zero"}, {false}, true},
    {"OverlongLineNamesNoFile", std::nullopt, Line("\\" + std::string(5000, 'x'), kA) + Line("\\a.dll", kA),
     {}, {"\\a.dll"}, {false, false}, true},
    {"ForwardSlashPathFindsTheFetchedFile", Line("\\x\\a.dll", kOld), Line("/x/a.dll", kA),
     {{"\\x\\a.dll", "content of a"}}, {}, {true}, true},
};
// clang-format on

class PlanningTest : public ::testing::TestWithParam<PlanCase> {
protected:
    void SetUp() override {
        m_run.m_strInstallPath = m_install.path();
        m_run.m_strTempDir = m_temp.path();
    }

    testsupport::TempDir m_install, m_temp;
    testsupport::RecordingDisplay m_display;
    CUpdateRun m_run{&m_display};
};

TEST_P(PlanningTest, Plans) {
    const PlanCase& c = GetParam();
    if (c.installed) {
        ASSERT_TRUE(testsupport::WriteFileBytes(m_install / "codelist.txt", *c.installed));
    }
    ASSERT_TRUE(testsupport::WriteFileBytes(m_temp / "codelist.txt", c.fresh));
    for (const auto& [path, content] : c.temp) {
        platform::CreateParentFolders(m_temp.path() + path);
        ASSERT_TRUE(testsupport::WriteFileBytes(m_temp.path() + path, content));
    }

    EXPECT_EQ(BuildDownloadList(m_run), c.result);

    std::vector<std::string> downloads;
    for (const UpdateItem& item : m_run.m_arrDownload) {
        downloads.push_back(item.path);
    }
    EXPECT_EQ(downloads, c.downloads);
    EXPECT_EQ(m_run.m_arrInstallable, c.installable);
    EXPECT_EQ(m_run.m_arrCodeList.size(), c.installable.size());
    // Row k shows item k of the download list: its file name, size and status.
    auto rows = m_display.rows();
    ASSERT_EQ(rows.size(), m_run.m_arrDownload.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        EXPECT_EQ(rows[k].fileName, m_run.m_arrDownload[k].fileName);
        EXPECT_EQ(rows[k].size, m_run.m_arrDownload[k].size);
        EXPECT_EQ(rows[k].status, kTextNeedsDownload);
    }
    EXPECT_EQ(m_display.statusTexts(), std::vector<std::string>{kTextChecking});
    EXPECT_EQ(m_display.barUpper(ProgressBar::Current), static_cast<int>(c.installable.size()));
}

INSTANTIATE_TEST_SUITE_P(Cases, PlanningTest, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(PlanningEdgeTest, MissingNewListChangesNothing) {
    testsupport::TempDir install, temp;
    testsupport::RecordingDisplay display;
    CUpdateRun run(&display);
    run.m_strInstallPath = install.path();
    run.m_strTempDir = temp.path();
    EXPECT_FALSE(BuildDownloadList(run));
    EXPECT_TRUE(display.statusTexts().empty());
    EXPECT_TRUE(run.m_arrCodeList.empty());
    EXPECT_EQ(display.barUpper(ProgressBar::Current), 100);
}

TEST(PlanningEdgeTest, LongListTakesTheLow16BitsForTheBar) {
    testsupport::TempDir install, temp;
    std::string list;
    const int lines = 65537;
    list.reserve(static_cast<size_t>(lines) * 60);
    for (int i = 0; i < lines; ++i) {
        list += Line("\\f" + std::to_string(i), kA);
    }
    ASSERT_TRUE(testsupport::WriteFileBytes(install / "codelist.txt", list));
    ASSERT_TRUE(testsupport::WriteFileBytes(temp / "codelist.txt", list));
    testsupport::RecordingDisplay display;
    CUpdateRun run(&display);
    run.m_strInstallPath = install.path();
    run.m_strTempDir = temp.path();
    EXPECT_FALSE(BuildDownloadList(run));
    EXPECT_EQ(run.m_arrCodeList.size(), static_cast<size_t>(lines));
    EXPECT_EQ(display.barUpper(ProgressBar::Current), 1);
    EXPECT_EQ(display.barPos(ProgressBar::Current), lines - 1);
}

}  // namespace
