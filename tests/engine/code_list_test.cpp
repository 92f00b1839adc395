#include "engine/code_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

namespace {

// GBK characters whose second byte is 0x5C, the code of "\": "乗" 0x81 0x5C, "昞" 0x95 0x5C.
#define JOU  "\x81\x5C"
#define BING "\x95\x5C"

struct ItemCase {
    const char* name;
    const char* line;
    const char* path;
    const char* fileName;
    const char* folder;
    const char* checksum;
    int32_t size;
    int32_t zz;
    const char* sha256 = "";
};

#define SHA_ABC "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"

std::ostream& operator<<(std::ostream& os, const ItemCase& c) { return os << c.name; }

constexpr ItemCase kItemCases[] = {
    // A full line; fields reordered with blanks; empty and missing fields.
    {"example_full", "<FN\\program\\sample.txt><MD900150983CD24FB0D6963F7D28E17F72><SZ3><ZZ0>",
     "\\program\\sample.txt", "sample.txt", "\\program", "900150983CD24FB0D6963F7D28E17F72", 3, 0},
    {"example_reordered_blanks", "<SZ 12> <FN \\share\\notes.txt > <ZZ 7>", "\\share\\notes.txt",
     "notes.txt", "\\share", "", 12, 7},
    {"example_empty_md_no_digits", "<FN\\readme.txt><MD><SZ x>", "\\readme.txt", "readme.txt", "",
     "", 0, 0},

    // Stray lines.
    {"blank_line", "", "", "", "", "", 0, 0},
    {"heading_without_fields", "Larkspan Office file list", "", "", "", "", 0, 0},
    {"text_between_fields_ignored", "x <FN\\a.dll> y<SZ5>z", "\\a.dll", "a.dll", "", "", 5, 0},

    // Fields that are missing, empty or malformed.
    {"empty_path_field", "<FN><SZ1>", "", "", "", "", 1, 0},
    {"blanks_only_value", "<FN \t ><SZ1>", "", "", "", "", 1, 0},
    {"own_close_missing_runs_into_next", "<FN\\a.dll<MDABC><SZ4>", "\\a.dll<MDABC", "a.dll<MDABC",
     "", "ABC", 4, 0},
    {"no_close_anywhere_after_tag", "<SZ4><FN\\a.dll", "", "", "", "", 4, 0},
    {"lower_case_tag_not_recognised", "<fn\\a.dll><SZ1>", "", "", "", "", 1, 0},
    {"first_of_repeated_tag_counts", "<SZ1><FN\\a><SZ2><FN\\b>", "\\a", "a", "", "", 1, 0},
    {"two_blanks_around_path", "<FN  \\x\\y.txt  >", "\\x\\y.txt", "y.txt", "\\x", "", 0, 0},
    {"tabs_and_cr_around_value", "<FN\t\\y.txt\r>", "\\y.txt", "y.txt", "", "", 0, 0},
    {"inner_blank_kept", "<FN\\a b\\c d.txt>", "\\a b\\c d.txt", "c d.txt", "\\a b", "", 0, 0},
    {"checksum_kept_as_written", "<MD 900150983cd24fb0 >", "", "", "", "900150983cd24fb0", 0, 0},

    // Numbers.
    {"leading_zeros", "<SZ0012><ZZ007>", "", "", "", "", 12, 7},
    {"negative", "<SZ-5><ZZ-0>", "", "", "", "", -5, 0},
    {"plus_sign", "<SZ+9>", "", "", "", "", 9, 0},
    {"digits_then_letters", "<SZ12kB><ZZ3.9>", "", "", "", "", 12, 3},
    {"sign_without_digits", "<SZ-><ZZ+x>", "", "", "", "", 0, 0},
    {"blank_after_sign", "<SZ- 5>", "", "", "", "", 0, 0},
    {"int32_max", "<SZ2147483647>", "", "", "", "", INT32_MAX, 0},
    {"int32_min", "<SZ-2147483648>", "", "", "", "", INT32_MIN, 0},
    {"one_past_max_saturates", "<SZ2147483648><ZZ-2147483649>", "", "", "", "", INT32_MAX,
     INT32_MIN},
    {"many_digits_saturate", "<SZ99999999999999999999999999999999><ZZ-000099999999999999999999>",
     "", "", "", "", INT32_MAX, INT32_MIN},
    {"leading_zeros_do_not_saturate", "<SZ00000000000000000000000042>", "", "", "", "", 42, 0},

    // Path split.
    {"no_backslash", "<FNreadme.txt>", "readme.txt", "readme.txt", "", "", 0, 0},
    {"only_leading_backslash", "<FN\\readme.txt>", "\\readme.txt", "readme.txt", "", "", 0, 0},
    {"trailing_backslash", "<FN\\dir\\>", "\\dir\\", "", "\\dir", "", 0, 0},
    {"forward_slashes_are_no_separator", "<FN/program/a.dll>", "/program/a.dll", "/program/a.dll",
     "", "", 0, 0},
    {"gbk_trail_5c_in_folder", "<FN\\" JOU "\\" BING ".txt>", "\\" JOU "\\" BING ".txt",
     BING ".txt", "\\" JOU, "", 0, 0},
    {"gbk_trail_5c_ends_name", "<FN\\dir\\a" JOU ">", "\\dir\\a" JOU, "a" JOU, "\\dir", "", 0, 0},
    {"gbk_trail_5c_only_separator_first", "<FN\\" JOU BING ">", "\\" JOU BING, JOU BING, "", "", 0,
     0},
    {"gbk_trail_5c_without_separator", "<FN" JOU ">", JOU, JOU, "", "", 0, 0},
    // The SHA-256 field, as the publisher writes it (last) and anywhere else.
    {"sha256_last", "<FN\\abc.txt><MD900150983CD24FB0D6963F7D28E17F72><SZ3><ZZ0><SH" SHA_ABC ">",
     "\\abc.txt", "abc.txt", "", "900150983CD24FB0D6963F7D28E17F72", 3, 0, SHA_ABC},
    {"sha256_first_with_blanks", "<SH  " SHA_ABC " ><FN\\a><SZ1>", "\\a", "a", "", "", 1, 0,
     SHA_ABC},
    {"sha256_kept_as_written", "<SHba7816bf><MD1>", "", "", "", "1", 0, 0, "ba7816bf"},
    {"sha256_empty", "<SH><SZ2>", "", "", "", "", 2, 0, ""},
    {"sha256_lower_case_tag_not_recognised", "<sh" SHA_ABC "><SZ2>", "", "", "", "", 2, 0, ""},
    {"sha256_close_missing_runs_into_next", "<SHAB<SZ7>", "", "", "", "", 7, 0, "AB<SZ7"},
    {"sha256_first_of_repeated_counts", "<SHAA><SHBB>", "", "", "", "", 0, 0, "AA"},
    {"sha256_no_close_anywhere", "<SZ3><SH" SHA_ABC, "", "", "", "", 3, 0, ""},
};

class ParseUpdateItemTest : public testing::TestWithParam<ItemCase> {};

TEST_P(ParseUpdateItemTest, Fields) {
    const ItemCase& c = GetParam();
    UpdateItem item = ParseUpdateItem(c.line);
    EXPECT_EQ(item.path, c.path);
    EXPECT_EQ(item.fileName, c.fileName);
    EXPECT_EQ(item.folder, c.folder);
    EXPECT_EQ(item.checksum, c.checksum);
    EXPECT_EQ(item.size, c.size);
    EXPECT_EQ(item.zz, c.zz);
    EXPECT_EQ(item.sha256, c.sha256);
    // One walk over the line finds what the field rule finds for each tag.
    EXPECT_EQ(item.sha256, GetTagValue(c.line, "SH"));
    EXPECT_EQ(item.path, GetTagValue(c.line, "FN"));
}

INSTANTIATE_TEST_SUITE_P(CodeListTest, ParseUpdateItemTest, testing::ValuesIn(kItemCases),
                         [](const testing::TestParamInfo<ItemCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(CodeListTest, TagSearchHonoursDoubleByteCharacters) {
    // 0x95 0x3C is no character of GBK, but a lead byte takes the next byte
    // with it: the "<" after it belongs to that character and opens no field.
    EXPECT_EQ(GetTagValue("\x95<FN\\a>", "FN"), "");
    EXPECT_EQ(GetTagValue("\x95\x41<FN\\a>", "FN"), "\\a");
    // The same for the closing ">": it runs on to the next one.
    EXPECT_EQ(GetTagValue("<FN\\a\x95><SZ1>", "FN"), "\\a\x95><SZ1");
}

TEST(CodeListTest, ReadNumberSkipsLeadingWhitespace) {
    // Field values come trimmed; the number rule still takes blanks itself.
    EXPECT_EQ(ReadNumber(" \t\r\n\v\f-42x"), -42);
    EXPECT_EQ(ReadNumber(""), 0);
    EXPECT_EQ(ReadNumber("x12"), 0);
}

}  // namespace
