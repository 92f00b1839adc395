#include "engine/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

namespace {

struct DigestCase {
    const char* name;
    std::string input;
    const char* digest;
};

std::ostream& operator<<(std::ostream& os, const DigestCase& c) { return os << c.name; }

std::string Hex(const std::string& input) {
    CMD5 md5;
    md5.Update(input.data(), input.size());
    return DigestToHex(md5.Final());
}

// The test suite of RFC 1321 (appendix A.5), and inputs around the padding edges.
const DigestCase kDigestCases[] = {
    {"rfc_empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
    {"rfc_a", "a", "0cc175b9c0f1b6a831c399e269772661"},
    {"rfc_abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"rfc_message_digest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"rfc_alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"rfc_alphanumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"rfc_digits",
     "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    // 55 bytes still take their length in the same block, 56 need another one.
    {"a_x55", std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {"a_x56", std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {"a_x64", std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
};

class Md5DigestTest : public testing::TestWithParam<DigestCase> {};

TEST_P(Md5DigestTest, WholeInput) { EXPECT_EQ(Hex(GetParam().input), GetParam().digest); }

TEST_P(Md5DigestTest, InputInPiecesOfEverySize) {
    // Pieces that end anywhere inside a block exercise the partial-block buffer.
    const std::string& input = GetParam().input;
    for (size_t piece = 1; piece <= 130 && piece <= input.size(); ++piece) {
        CMD5 md5;
        for (size_t at = 0; at < input.size(); at += piece) {
            md5.Update(input.data() + at, std::min(piece, input.size() - at));
        }
        EXPECT_EQ(DigestToHex(md5.Final()), GetParam().digest) << "pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(Md5Test, Md5DigestTest, testing::ValuesIn(kDigestCases),
                         [](const testing::TestParamInfo<DigestCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(Md5Test, MillionTimesA) {
    EXPECT_EQ(Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5Test, FinalStartsOver) {
    CMD5 md5;
    md5.Update("junk", 4);
    md5.Final();
    md5.Update("abc", 3);
    EXPECT_EQ(DigestToHex(md5.Final()), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5Test, HexHasTwoLowerCaseDigitsPerByte) {
    CMD5::Digest digest = {0x00, 0x0a, 0xff, 0x10, 0x01, 0xab, 0x9f, 0xf0,
                           0x0f, 0x5c, 0xc5, 0x80, 0x7f, 0x08, 0xde, 0xad};
    EXPECT_EQ(DigestToHex(digest), "000aff1001ab9ff00f5cc5807f08dead");
}

}  // namespace
