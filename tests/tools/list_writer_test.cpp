// The update list as written, read back with the clients' own parser.
#include "tools/publish/list_writer.h"

#include "engine/code_list.h"
#include "publish_test_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

TEST(ListWriterTest, WritesTheFieldsInOrderWithCrLf) {
    EXPECT_EQ(
        publish::FormatListLine({"\\program\\sample.txt", "900150983CD24FB0D6963F7D28E17F72", 3}),
        "<FN\\program\\sample.txt><MD900150983CD24FB0D6963F7D28E17F72><SZ3><ZZ0>\r\n");
}

TEST(ListWriterTest, WritesTheSha256AsTheLastField) {
    const char* sha = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    EXPECT_EQ(publish::FormatListLine(
                  {"\\abc.txt", "900150983CD24FB0D6963F7D28E17F72", 3, std::string(sha)}),
              std::string("<FN\\abc.txt><MD900150983CD24FB0D6963F7D28E17F72><SZ3><ZZ0><SH") + sha +
                  ">\r\n");
}

struct RoundTripCase {
    const char* label;
    const char* path;
    const char* folder;
    const char* fileName;
    uint32_t size;
};

std::ostream& operator<<(std::ostream& os, const RoundTripCase& c) { return os << c.label; }

constexpr RoundTripCase kRoundTrips[] = {
    {"top_level", "\\readme.txt", "", "readme.txt", 0},
    {"nested", "\\program\\sub\\a.dll", "\\program\\sub", "a.dll", 1},
    {"blanks_inside", "\\my docs\\a b.txt", "\\my docs", "a b.txt", 17},
    {"gbk_0x5c_in_folder_and_file", "\\" BING "\\" JOU ".dll", "\\" BING, JOU ".dll", 4096},
    {"gbk_0x5c_at_end", "\\a\\b" JOU, "\\a", "b" JOU, 5},
    {"largest_size", "\\big.bin", "", "big.bin", 2147483647u},
};

class ListRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(ListRoundTripTest, ClientsReadBackWhatWasWritten) {
    const RoundTripCase& c = GetParam();
    const char* md5 = "D41D8CD98F00B204E9800998ECF8427E";
    const char* sha = "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855";
    std::string line = publish::FormatListLine({c.path, md5, c.size, sha});
    ASSERT_GE(line.size(), 2u);
    ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
    UpdateItem item = ParseUpdateItem(line.substr(0, line.size() - 2));
    EXPECT_EQ(item.path, c.path);
    EXPECT_EQ(item.folder, c.folder);
    EXPECT_EQ(item.fileName, c.fileName);
    EXPECT_EQ(item.checksum, md5);
    EXPECT_EQ(item.size, static_cast<int32_t>(c.size));
    EXPECT_EQ(item.zz, 0);
    EXPECT_EQ(item.sha256, sha);
}

INSTANTIATE_TEST_SUITE_P(Paths, ListRoundTripTest, ::testing::ValuesIn(kRoundTrips),
                         [](const ::testing::TestParamInfo<RoundTripCase>& param) {
                             return std::string(param.param.label);
                         });

TEST(ListWriterTest, WritesOneLinePerEntryInOrder) {
    testsupport::TempDir dir;
    std::vector<publish::ListEntry> entries = {
        {"\\b.txt", "0CC175B9C0F1B6A831C399E269772661", 1},
        {"\\a\\c.txt", "92EB5FFEE6AE2FEC3AD71C777531578F", 1},
    };
    std::string path = dir / "codelist.txt";
    std::string error;
    ASSERT_TRUE(publish::WriteCodeList(path, entries, &error)) << error;
    EXPECT_EQ(testsupport::ReadFileBytes(path),
              publish::FormatListLine(entries[0]) + publish::FormatListLine(entries[1]));
    EXPECT_EQ(CountLines(path), 2);

    ASSERT_TRUE(publish::WriteCodeList(path, {}, &error)) << error;
    EXPECT_EQ(testsupport::ReadFileBytes(path), "");
}

TEST(ListWriterTest, ReportsAFileThatCannotBeMade) {
    testsupport::TempDir dir;
    std::string error;
    EXPECT_FALSE(publish::WriteCodeList(dir / "missing\\codelist.txt", {}, &error));
    EXPECT_NE(error.find("codelist.txt"), std::string::npos) << error;
}

}  // namespace
