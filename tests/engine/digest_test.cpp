// CMD5 and CSha256 against published test vectors, inputs around the
// padding edges fed whole and in pieces of every size, and the fixture files
// whose sums md5sum and sha256sum wrote.

#include "engine/md5.h"
#include "engine/sha256.h"

#include "fixture_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <ostream>
#include <sstream>
#include <string>

namespace {

enum class Algorithm { kMd5, kSha256 };

const char* NameOf(Algorithm algorithm) { return algorithm == Algorithm::kMd5 ? "md5" : "sha256"; }

// `input` in pieces of `piece` bytes; 0: whole, in one Update.
template <typename Hasher>
typename Hasher::Digest Feed(const std::string& input, size_t piece, Hasher hasher = Hasher()) {
    if (piece == 0) {
        hasher.Update(input.data(), input.size());
    }
    for (size_t at = 0; piece && at < input.size(); at += piece) {
        hasher.Update(input.data() + at, std::min(piece, input.size() - at));
    }
    return hasher.Final();
}

// The digest in hex of `input` given in pieces of `piece` bytes; a whole
// SHA-256 input goes through Sha256Hex, the one-call form.
std::string HexDigest(Algorithm algorithm, const std::string& input, size_t piece = 0) {
    if (algorithm == Algorithm::kMd5) {
        return DigestToHex(Feed<CMD5>(input, piece));
    }
    return piece ? Sha256ToHex(Feed<CSha256>(input, piece)) : Sha256Hex(input.data(), input.size());
}

struct DigestCase {
    const char* name;
    Algorithm algorithm;
    std::string input;
    const char* digest;
};

std::ostream& operator<<(std::ostream& os, const DigestCase& c) { return os << c.name; }

const std::string kMillionA(1000000, 'a');

// MD5: the test suite of RFC 1321 (appendix A.5). SHA-256: the examples of
// FIPS 180-2. Both: inputs around the padding edges (55 bytes still take
// their length in the same block, 56 need another one).
const DigestCase kDigestCases[] = {
    {"md5_rfc_empty", Algorithm::kMd5, "", "d41d8cd98f00b204e9800998ecf8427e"},
    {"md5_rfc_a", Algorithm::kMd5, "a", "0cc175b9c0f1b6a831c399e269772661"},
    {"md5_rfc_abc", Algorithm::kMd5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"md5_rfc_message_digest", Algorithm::kMd5, "message digest",
     "f96b697d7cb7938d525a2f31aaf161d0"},
    {"md5_rfc_alphabet", Algorithm::kMd5, "abcdefghijklmnopqrstuvwxyz",
     "c3fcd3d76192e4007dfb496cca67e13b"},
    {"md5_rfc_alphanumeric", Algorithm::kMd5,
     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"md5_rfc_digits", Algorithm::kMd5,
     "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {"md5_a_x55", Algorithm::kMd5, std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {"md5_a_x56", Algorithm::kMd5, std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {"md5_a_x64", Algorithm::kMd5, std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    {"sha256_empty", Algorithm::kSha256, "",
     "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"sha256_abc", Algorithm::kSha256, "abc",
     "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"sha256_two_blocks", Algorithm::kSha256,
     "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"sha256_a_x55", Algorithm::kSha256, std::string(55, 'a'),
     "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
    {"sha256_a_x56", Algorithm::kSha256, std::string(56, 'a'),
     "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
    {"sha256_a_x64", Algorithm::kSha256, std::string(64, 'a'),
     "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
};

class DigestTest : public testing::TestWithParam<DigestCase> {};

TEST_P(DigestTest, WholeInput) {
    const DigestCase& c = GetParam();
    EXPECT_EQ(HexDigest(c.algorithm, c.input), c.digest);
}

TEST_P(DigestTest, InputInPiecesOfEverySize) {
    // Pieces that end anywhere inside a block, up to two blocks and more,
    // exercise the partial-block buffer.
    const DigestCase& c = GetParam();
    for (size_t piece = 1; piece <= 130 && piece <= c.input.size(); ++piece) {
        EXPECT_EQ(HexDigest(c.algorithm, c.input, piece), c.digest) << "pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(DigestTest, DigestTest, testing::ValuesIn(kDigestCases),
                         [](const testing::TestParamInfo<DigestCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(DigestTest, MillionTimesA) {
    EXPECT_EQ(HexDigest(Algorithm::kMd5, kMillionA), "7707d6ae4e027c70eea2a935c2296f21");
    EXPECT_EQ(HexDigest(Algorithm::kSha256, kMillionA),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Each SHA-256 engine gives the published digests, whole and in pieces, and
// agrees with the plain one on lengths across many blocks. Where the
// processor lacks the SHA extensions only the plain engine runs.
TEST(DigestTest, EverySha256EngineGivesTheSameDigests) {
    std::string mixed(70000, '\0');
    for (size_t i = 0; i < mixed.size(); ++i) {
        mixed[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    for (Sha256Engine engine : {Sha256Engine::kPlain, Sha256Engine::kShaExtensions}) {
        if (!IsSha256EngineAvailable(engine)) {
            std::cout << "no SHA extensions on this processor\n";
            continue;
        }
        SCOPED_TRACE(engine == Sha256Engine::kPlain ? "plain" : "SHA extensions");
        for (const DigestCase& c : kDigestCases) {
            if (c.algorithm != Algorithm::kSha256) {
                continue;
            }
            for (size_t piece = 0; piece <= 130 && piece <= c.input.size(); ++piece) {
                EXPECT_EQ(Sha256ToHex(Feed(c.input, piece, CSha256(engine))), c.digest)
                    << c.name << " in pieces of " << piece;
            }
        }
        EXPECT_EQ(Sha256ToHex(Feed(kMillionA, 4096, CSha256(engine))),
                  "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
        for (size_t length : {size_t{63}, size_t{64}, size_t{65}, size_t{4097}, mixed.size()}) {
            std::string input = mixed.substr(0, length);
            EXPECT_EQ(Sha256ToHex(Feed(input, 1000, CSha256(engine))),
                      Sha256ToHex(Feed(input, 0, CSha256(Sha256Engine::kPlain))))
                << length << " bytes";
        }
    }
}

// Final leaves the hasher ready for a new message: nothing of the old one stays.
template <typename Hasher>
typename Hasher::Digest AbcAfterJunk() {
    Hasher hasher;
    hasher.Update("junk", 4);
    hasher.Final();
    hasher.Update("abc", 3);
    return hasher.Final();
}

TEST(DigestTest, FinalStartsOver) {
    EXPECT_EQ(DigestToHex(AbcAfterJunk<CMD5>()), HexDigest(Algorithm::kMd5, "abc"));
    EXPECT_EQ(Sha256ToHex(AbcAfterJunk<CSha256>()), HexDigest(Algorithm::kSha256, "abc"));
}

TEST(DigestTest, Md5HexHasTwoLowerCaseDigitsPerByte) {
    CMD5::Digest digest = {0x00, 0x0a, 0xff, 0x10, 0x01, 0xab, 0x9f, 0xf0,
                           0x0f, 0x5c, 0xc5, 0x80, 0x7f, 0x08, 0xde, 0xad};
    EXPECT_EQ(DigestToHex(digest), "000aff1001ab9ff00f5cc5807f08dead");
}

struct FixtureCase {
    Algorithm algorithm;
    const char* dir;
    int files;  // as make_checksum_fixture.py writes them
};

std::ostream& operator<<(std::ostream& os, const FixtureCase& c) {
    return os << NameOf(c.algorithm);
}

const FixtureCase kFixtureCases[] = {
    {Algorithm::kMd5, LKS_MD5_FIXTURE_DIR, 14},
    {Algorithm::kSha256, LKS_SHA256_FIXTURE_DIR, 13},
};

class DigestFixtureTest : public testing::TestWithParam<FixtureCase> {};

// Every fixture file, fed in 1000-byte pieces, gives what the system's tool gave.
TEST_P(DigestFixtureTest, MatchesTheSystemToolOnTheFixtureFiles) {
    const std::string dir = testfixture::Dir(GetParam().dir);
    std::ifstream sums(dir + "/sums.txt");
    ASSERT_TRUE(sums) << "no sums.txt in " << dir;
    std::string line;
    int files = 0;
    while (std::getline(sums, line)) {
        std::istringstream fields(line);
        std::string expected, name;
        ASSERT_TRUE(fields >> expected >> name) << line;
        std::string bytes = testfixture::ReadAll(dir + "/" + name);
        ASSERT_EQ(bytes.size(), std::stoul(name)) << name;
        EXPECT_EQ(HexDigest(GetParam().algorithm, bytes, 1000), expected) << name;
        ++files;
    }
    EXPECT_EQ(files, GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(DigestTest, DigestFixtureTest, testing::ValuesIn(kFixtureCases),
                         [](const testing::TestParamInfo<FixtureCase>& param) {
                             return std::string(NameOf(param.param.algorithm));
                         });

}  // namespace
