#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

// "乗" is 0x81 0x5C in GBK, "表" 0xB1 0xED, "昞" 0x95 0x5C.
const std::string kJou = "\x81\x5C";
const std::string kHyou = "\xB1\xED";

TEST(CodePageTest, ActiveCodePageIs936) {
    // Every test of Chinese texts and GBK paths relies on this, under Wine too.
    EXPECT_EQ(platform::ActiveCodePage(), 936u);
}

TEST(CodePageTest, TrailByte5CIsNoSeparator) {
    std::string path = "\\a\\" + kJou + "\\b" + kJou;
    EXPECT_EQ(platform::FindLastChar(path, '\\'), 5u);
    EXPECT_EQ(platform::FindChar(kJou + "\\x", '\\'), 2u);
    EXPECT_EQ(platform::FindLastChar(kJou + kJou, '\\'), std::string::npos);
}

TEST(CodePageTest, ReplaceCharLeavesTrailBytesAlone) {
    EXPECT_EQ(platform::ReplaceChar("\\x\\" + kJou, '\\', '/'), "/x/" + kJou);
}

TEST(CodePageTest, FindTextMatchesOnlyAtCharacterBoundaries) {
    // 0x95 0x53 is one GBK character whose second byte is "S".
    std::string text = "\x95SERVER";
    EXPECT_EQ(platform::FindText(text, "SERVER"), std::string::npos);
    EXPECT_EQ(platform::FindText("x" + text + " SERVER", "SERVER"), 9u);
    EXPECT_EQ(platform::FindText("abc", ""), 0u);
}

TEST(CodePageTest, UpperLatinKeepsDoubleByteCharacters) {
    // 0x81 0x61: the trail byte is "a" and must stay lower case.
    EXPECT_EQ(platform::UpperLatin("ab\x81"
                                   "a"
                                   "c" +
                                   kHyou),
              "AB\x81"
              "a"
              "C" +
                  kHyou);
}

TEST(CodePageTest, LoneLeadByteAtEndIsOneCharacter) {
    std::string text = "a\x81";
    EXPECT_EQ(platform::CharLength(text, 1), 1u);
    EXPECT_EQ(platform::FindLastChar("\\\x81", '\\'), 0u);
}

}  // namespace
