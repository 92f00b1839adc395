// Which release and version names the publisher refuses.
#include "tools/publish/name_rules.h"

#include "publish_test_support.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct NameCase {
    const char* label;
    const char* name;
    bool refused;
};

std::ostream& operator<<(std::ostream& os, const NameCase& c) { return os << c.label; }

constexpr NameCase kNames[] = {
    {"plain", "a.dll", false},
    {"inner_blank", "a b.dll", false},
    {"leading_dot", ".profile", false},
    {"many_dots", "a.b.c", false},
    {"gbk_second_byte_backslash", JOU ".dll", false},
    {"gbk_only", BING JOU, false},
    {"gbk_second_byte_letter", "\xB0\x41x", false},
    {"punctuation_the_request_carries", "a+b,c;d=e[f]{g}~h!i@j$k&l'm(n)", false},

    {"empty", "", true},
    {"less_than", "a<b", true},
    {"greater_than", "a>b", true},
    {"percent", "50%.dll", true},
    {"hash", "a#b", true},
    {"question_mark", "a?b", true},
    {"tab", "a\tb", true},
    {"newline", "a\nb", true},
    {"control_01",
     "a\x01"
     "b",
     true},
    {"delete",
     "a\x7F"
     "b",
     true},
    {"leading_blank", " a.dll", true},
    {"trailing_blank", "a.dll ", true},
    {"only_blank", " ", true},
    {"backslash", "a\\b", true},
    {"slash", "a/b", true},
    {"colon", "c:a", true},
    {"star", "a*b", true},
    {"double_quote", "a\"b", true},
    {"pipe", "a|b", true},
    {"trailing_dot", "a.", true},
    {"dot_dot", "..", true},
    {"gbk_then_dot_dot", JOU "..", true},
    {"lead_byte_at_end", "a\x81", true},
    {"lead_byte_before_blank", "a\x81 b", true},
    {"lead_byte_before_delete", "\x81\x7F", true},
    {"lead_byte_before_ff", "\x81\xFF", true},
};

class NameRefusalTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameRefusalTest, RefusesWhatTheListOrRequestCannotCarry) {
    const NameCase& c = GetParam();
    std::string why = publish::NameRefusal(c.name);
    EXPECT_EQ(!why.empty(), c.refused) << publish::Printable(c.name) << ": " << why;
}

INSTANTIATE_TEST_SUITE_P(Names, NameRefusalTest, ::testing::ValuesIn(kNames),
                         [](const ::testing::TestParamInfo<NameCase>& param) {
                             return std::string(param.param.label);
                         });

TEST(VersionRefusalTest, RefusesWhatCannotNameAVersionFolder) {
    EXPECT_EQ(publish::VersionRefusal("V"), "");
    EXPECT_EQ(publish::VersionRefusal("2.0.1"), "");
    EXPECT_EQ(publish::VersionRefusal("Office " JOU), "");
    for (const char* bad : {"", ".V", ".", "..", "a/b", "a\\b", "V ", "a%20b", "a?"}) {
        EXPECT_NE(publish::VersionRefusal(bad), "") << publish::Printable(bad);
    }
}

TEST(PrintableTest, EscapesBytesOutsidePrintableAscii) {
    EXPECT_EQ(publish::Printable("\\a b\t" JOU), "\\a b\\x09\\x81\\");
}

}  // namespace
