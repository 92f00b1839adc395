#include "engine/sha256.h"

#include "fixture_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

namespace {

struct DigestCase {
    const char* name;
    std::string input;
    const char* digest;
};

std::ostream& operator<<(std::ostream& os, const DigestCase& c) { return os << c.name; }

// The examples of FIPS 180-2 and inputs around the padding edges (55 bytes
// still take their length in the same block, 56 need another one).
const DigestCase kDigestCases[] = {
    {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"two_blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"a_x55", std::string(55, 'a'),
     "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
    {"a_x56", std::string(56, 'a'),
     "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
    {"a_x64", std::string(64, 'a'),
     "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
};

class Sha256DigestTest : public testing::TestWithParam<DigestCase> {};

TEST_P(Sha256DigestTest, WholeInput) {
    const DigestCase& c = GetParam();
    EXPECT_EQ(Sha256Hex(c.input.data(), c.input.size()), c.digest);
}

TEST_P(Sha256DigestTest, InputInPiecesOfEverySize) {
    const std::string& input = GetParam().input;
    for (size_t piece = 1; piece <= 70 && piece <= input.size(); ++piece) {
        CSha256 sha;
        for (size_t at = 0; at < input.size(); at += piece) {
            sha.Update(input.data() + at, std::min(piece, input.size() - at));
        }
        EXPECT_EQ(Sha256ToHex(sha.Final()), GetParam().digest) << "pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(Sha256Test, Sha256DigestTest, testing::ValuesIn(kDigestCases),
                         [](const testing::TestParamInfo<DigestCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(Sha256Test, MillionTimesA) {
    std::string input(1000000, 'a');
    EXPECT_EQ(Sha256Hex(input.data(), input.size()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256Test, FinalStartsOver) {
    CSha256 sha;
    sha.Update("junk", 4);
    sha.Final();
    sha.Update("abc", 3);
    EXPECT_EQ(Sha256ToHex(sha.Final()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

std::string FixtureDir() { return testfixture::Dir(LKS_SHA256_FIXTURE_DIR); }

// Every fixture file, fed in 1000-byte pieces, gives what sha256sum gave.
TEST(Sha256Test, MatchesSha256sumOnTheFixtureFiles) {
    std::ifstream sums(FixtureDir() + "/sums.txt");
    ASSERT_TRUE(sums) << "no sums.txt in " << FixtureDir();
    std::string line;
    int files = 0;
    while (std::getline(sums, line)) {
        std::istringstream fields(line);
        std::string expected, name;
        ASSERT_TRUE(fields >> expected >> name) << line;
        std::string bytes = testfixture::ReadAll(FixtureDir() + "/" + name);
        ASSERT_EQ(bytes.size(), std::stoul(name)) << name;
        CSha256 sha;
        for (size_t at = 0; at < bytes.size(); at += 1000) {
            sha.Update(bytes.data() + at, std::min<size_t>(1000, bytes.size() - at));
        }
        EXPECT_EQ(Sha256ToHex(sha.Final()), expected) << name;
        ++files;
    }
    EXPECT_EQ(files, 13);
}

}  // namespace
