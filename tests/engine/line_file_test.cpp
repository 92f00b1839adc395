// Lines of list files on disk: the reader, CountLines and the in-memory split
// must agree on every ending, and a list reads the same with LF or CR LF.
#include "engine/code_list.h"
#include "engine/line_reader.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// The line reader fills 64 KiB at a time; these lines straddle that edge.
constexpr size_t kReaderBlock = 64 * 1024;

struct LinesCase {
    std::string name;
    std::string bytes;
    std::vector<std::string> lines;
};

std::ostream& operator<<(std::ostream& os, const LinesCase& c) { return os << c.name; }

std::vector<LinesCase> LinesCases() {
    const std::string longLine(3 * kReaderBlock + 17, 'x');
    const std::string toEdge(kReaderBlock - 1, 'y');  // its CR is the block's last byte
    return {
        {"zero_bytes", "", {}},
        {"lf", "a\nb\n", {"a", "b"}},
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"lf_no_final_terminator", "a\nb", {"a", "b"}},
        {"crlf_no_final_terminator", "a\r\nb", {"a", "b"}},
        {"mixed_endings", "a\r\nb\nc\r\n", {"a", "b", "c"}},
        {"only_a_terminator", "\n", {""}},
        {"blank_lines_inside", "a\n\r\n\nb", {"a", "", "", "b"}},
        {"lone_cr_is_part_of_line", "a\rb\n", {"a\rb"}},
        {"line_longer_than_reader_block", longLine + "\r\nz", {longLine, "z"}},
        {"crlf_split_over_block_edge", toEdge + "\r\n" + "z\r\n", {toEdge, "z"}},
        {"gbk_trail_bytes",
         "\\\x81\x5C\r\n\x95\x5C"
         "a\n",
         {"\\\x81\x5C",
          "\x95\x5C"
          "a"}},
    };
}

class LineFileTest : public testing::TestWithParam<LinesCase> {
protected:
    testsupport::TempDir m_dir;
};

TEST_P(LineFileTest, ReaderCountAndSplitAgree) {
    const LinesCase& c = GetParam();
    std::string path = m_dir / "codelist.txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(path, c.bytes));

    CLineReader reader(path.c_str());
    ASSERT_TRUE(reader.IsOpen());
    std::vector<std::string> read;
    std::string line;
    while (reader.ReadLine(line)) {
        read.push_back(line);
    }
    EXPECT_EQ(read, c.lines);
    EXPECT_EQ(CountLines(path), static_cast<int>(c.lines.size()));

    std::vector<std::string> split;
    for (std::string_view v : SplitLines(c.bytes)) {
        split.emplace_back(v);
    }
    EXPECT_EQ(split, c.lines);
}

INSTANTIATE_TEST_SUITE_P(CodeListTest, LineFileTest, testing::ValuesIn(LinesCases()),
                         [](const testing::TestParamInfo<LinesCase>& param) {
                             return param.param.name;
                         });

std::vector<UpdateItem> ReadList(const std::string& path) {
    std::vector<UpdateItem> items;
    CLineReader reader(path.c_str());
    std::string line;
    while (reader.ReadLine(line)) {
        items.push_back(ParseUpdateItem(line));
    }
    return items;
}

void ExpectSameItems(const std::vector<UpdateItem>& a, const std::vector<UpdateItem>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_EQ(a[i].path, b[i].path);
        EXPECT_EQ(a[i].fileName, b[i].fileName);
        EXPECT_EQ(a[i].folder, b[i].folder);
        EXPECT_EQ(a[i].checksum, b[i].checksum);
        EXPECT_EQ(a[i].size, b[i].size);
        EXPECT_EQ(a[i].zz, b[i].zz);
    }
}

TEST(CodeListTest, ListReadsTheSameWithLfAndCrLf) {
    const std::vector<std::string> lines = {
        "<FN\\program\\sample.txt><MD900150983CD24FB0D6963F7D28E17F72><SZ3><ZZ0>",
        "<SZ 12> <FN \\share\\notes.txt > <ZZ 7>",
        "<FN\\"
        "\x81\x5C"
        "\\a.dll><SZ  10 >",
        // The same path twice is two entries: nothing merges them.
        "<FN\\program\\sample.txt><SZ4>",
    };
    std::string lf, crlf;
    for (const std::string& l : lines) {
        lf += l + "\n";
        crlf += l + "\r\n";
    }
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "lf.txt", lf));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "crlf.txt", crlf));

    std::vector<UpdateItem> fromLf = ReadList(dir / "lf.txt");
    std::vector<UpdateItem> fromCrLf = ReadList(dir / "crlf.txt");
    ASSERT_EQ(fromLf.size(), 4u);
    ExpectSameItems(fromLf, fromCrLf);
    EXPECT_EQ(fromLf[1].path, "\\share\\notes.txt");
    EXPECT_EQ(fromLf[1].size, 12);
    EXPECT_EQ(fromLf[2].folder, "\\\x81\x5C");
    EXPECT_EQ(fromLf[2].fileName, "a.dll");
    EXPECT_EQ(fromLf[2].size, 10);
    EXPECT_EQ(fromLf[3].path, fromLf[0].path);
    EXPECT_EQ(fromLf[3].size, 4);
    EXPECT_EQ(CountLines(dir / "crlf.txt"), 4);
}

TEST(LineReaderTest, ALineOverTheLimitIsReadAsAnEmptyLine) {
    struct Case {
        std::string content;
        std::vector<std::string> lines;
    };
    const std::string fits(8, 'a'), over(9, 'b'), huge(300000, 'c');
    const Case cases[] = {
        {fits + "\n" + over + "\nend", {fits, "", "end"}},
        {fits + "\r\n" + over + "\r\n", {fits, ""}},  // the CR is not part of the line
        {huge + "\n" + fits, {"", fits}},             // longer than a read block
        {over, {""}},                                 // the last line, without terminator
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        ASSERT_TRUE(testsupport::WriteFileBytes(dir / "list.txt", c.content));
        CLineReader reader((dir / "list.txt").c_str(), 8);
        std::vector<std::string> lines;
        for (std::string line; reader.ReadLine(line);) {
            EXPECT_LE(line.capacity(), 4096u) << "an overlong line is never held whole";
            lines.push_back(line);
        }
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(CountLines(dir / "list.txt"), static_cast<int>(c.lines.size()));
    }
}

TEST(CodeListTest, MissingListCountsNoLines) {
    testsupport::TempDir dir;
    EXPECT_EQ(CountLines(dir / "codelist.txt"), 0);
    // A folder cannot be read as a list either.
    EXPECT_EQ(CountLines(dir.path()), 0);
}

}  // namespace
