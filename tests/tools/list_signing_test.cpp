// The publisher's keys and signatures checked by the updater's own verifier,
// and signed publications through Publish(). Interoperability with the
// minisign tool is checked by signing_test.py.
#include "engine/list_claims.h"
#include "engine/minisign.h"
#include "platform/fs.h"
#include "publish_test_support.h"
#include "support/temp_dir.h"
#include "tools/publish/key_files.h"
#include "tools/publish/list_signer.h"
#include "tools/publish/publisher.h"
#include "tools/publish/secret_key.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <ostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

// The decoded key line of a secret key file, and back.
std::vector<uint8_t> DecodeKeyLine(const std::string& file) {
    std::string line = file.substr(file.find('\n') + 1);
    line.pop_back();
    std::vector<uint8_t> blob(200);
    size_t size = 0;
    EXPECT_EQ(sodium_base642bin(blob.data(), blob.size(), line.data(), line.size(), nullptr, &size,
                                nullptr, sodium_base64_VARIANT_ORIGINAL),
              0);
    blob.resize(size);
    return blob;
}

std::string EncodeKeyFile(const std::vector<uint8_t>& blob) {
    std::vector<char> text(sodium_base64_ENCODED_LEN(blob.size(), sodium_base64_VARIANT_ORIGINAL));
    sodium_bin2base64(text.data(), text.size(), blob.data(), blob.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    return "untrusted comment: minisign encrypted secret key\n" + std::string(text.data()) + "\n";
}

void ExpectSameKey(const publish::SecretKey& a, const publish::SecretKey& b) {
    EXPECT_EQ(a.keyId, b.keyId);
    EXPECT_EQ(a.key, b.key);
}

TEST(ListSigningTest, SignaturesPassTheUpdatersCheck) {
    publish::SecretKey key, other;
    MinisignPublicKey publicKey, otherPublic;
    publish::GenerateKey(&key, &publicKey);
    publish::GenerateKey(&other, &otherPublic);
    EXPECT_EQ(publish::PublicKeyOf(key).key, publicKey.key);
    std::string data = "the list archive";
    std::string signature = publish::SignMinisign(key, data, "lksupdate version=V serial=3");
    std::string comment;
    EXPECT_EQ(VerifyMinisignSignature(data, signature, {publicKey}, &comment), SignatureStatus::Ok);
    EXPECT_EQ(comment, "lksupdate version=V serial=3");
    EXPECT_EQ(VerifyMinisignSignature(data, signature, {otherPublic, publicKey}, &comment),
              SignatureStatus::Ok);
    EXPECT_EQ(VerifyMinisignSignature(data, signature, {otherPublic}, &comment),
              SignatureStatus::UnknownKey);
    EXPECT_EQ(VerifyMinisignSignature(data + ".", signature, {publicKey}, &comment),
              SignatureStatus::BadSignature);
    // The public key file reads back as the same key.
    MinisignPublicKey read;
    ASSERT_TRUE(ParseMinisignPublicKey(FormatMinisignPublicKey(publicKey), &read));
    EXPECT_EQ(read.key, publicKey.key);
    EXPECT_EQ(read.keyId, publicKey.keyId);
}

TEST(ListSigningTest, KeyFilesReadBack) {
    publish::SecretKey key;
    MinisignPublicKey publicKey;
    publish::GenerateKey(&key, &publicKey);

    std::string plain = publish::FormatSecretKey(key, false, "");
    EXPECT_FALSE(publish::SecretKeyNeedsPassword(plain));
    publish::SecretKey read;
    std::string error;
    ASSERT_TRUE(publish::LoadSecretKey(plain, "", &read, &error)) << error;
    ExpectSameKey(read, key);

    // Encrypted with minisign's scrypt limits: the one slow case.
    std::string encrypted = publish::FormatSecretKey(key, true, "pass word");
    EXPECT_TRUE(publish::SecretKeyNeedsPassword(encrypted));
    EXPECT_EQ(encrypted.find(plain.substr(plain.find('\n') + 60, 40)), std::string::npos);
    publish::SecretKey decrypted;
    EXPECT_FALSE(publish::LoadSecretKey(encrypted, "pass words", &decrypted, &error));
    EXPECT_NE(error.find("password"), std::string::npos) << error;
    ASSERT_TRUE(publish::LoadSecretKey(encrypted, "pass word", &decrypted, &error)) << error;
    ExpectSameKey(decrypted, key);
}

struct KeyFileCase {
    const char* name;
    void (*change)(std::vector<uint8_t>* blob);
    bool ok;
    const char* error;  // part of the message when refused
};

std::ostream& operator<<(std::ostream& os, const KeyFileCase& c) { return os << c.name; }

// Offsets in the decoded unencrypted key: kdf at 2, limits at 38 and 46, the
// key id at 54, the secret key at 62, its checksum at 126.
const KeyFileCase kKeyFileCases[] = {
    {"as_written", [](std::vector<uint8_t>*) {}, true, ""},
    {"zero_checksum_as_minisign_0_11_writes",
     [](std::vector<uint8_t>* b) { std::fill(b->begin() + 126, b->end(), 0); }, true, ""},
    {"wrong_checksum", [](std::vector<uint8_t>* b) { (*b)[130] ^= 1; }, false, "checksum"},
    {"secret_key_changed", [](std::vector<uint8_t>* b) { (*b)[70] ^= 1; }, false, "checksum"},
    {"unknown_kdf", [](std::vector<uint8_t>* b) { (*b)[2] = 'X'; }, false, "no minisign"},
    {"unknown_algorithm", [](std::vector<uint8_t>* b) { (*b)[1] = 'D'; }, false, "no minisign"},
    {"unknown_checksum_algorithm", [](std::vector<uint8_t>* b) { (*b)[5] = '3'; }, false,
     "no minisign"},
    {"short", [](std::vector<uint8_t>* b) { b->pop_back(); }, false, "no minisign"},
    {"long", [](std::vector<uint8_t>* b) { b->push_back(0); }, false, "no minisign"},
    {"scrypt_beyond_minisign_limits",
     [](std::vector<uint8_t>* b) {
         (*b)[2] = 'S';
         (*b)[3] = 'c';
         (*b)[46 + 4] = 1;  // memlimit 4 GiB
     },
     false, "limits"},
};

class SecretKeyFileTest : public testing::TestWithParam<KeyFileCase> {};

TEST_P(SecretKeyFileTest, Reads) {
    publish::SecretKey key;
    MinisignPublicKey publicKey;
    publish::GenerateKey(&key, &publicKey);
    std::vector<uint8_t> blob = DecodeKeyLine(publish::FormatSecretKey(key, false, ""));
    ASSERT_EQ(blob.size(), 158u);
    GetParam().change(&blob);
    publish::SecretKey read;
    std::string error;
    EXPECT_EQ(publish::LoadSecretKey(EncodeKeyFile(blob), "", &read, &error), GetParam().ok);
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
    if (GetParam().ok) {
        ExpectSameKey(read, key);
    }
}

INSTANTIATE_TEST_SUITE_P(ListSigningTest, SecretKeyFileTest, testing::ValuesIn(kKeyFileCases),
                         [](const testing::TestParamInfo<KeyFileCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(ListSigningTest, TextsThatAreNoKeyFile) {
    publish::SecretKey key;
    MinisignPublicKey publicKey;
    publish::GenerateKey(&key, &publicKey);
    const std::string texts[] = {
        "",
        "untrusted comment: minisign encrypted secret key\n",
        FormatMinisignPublicKey(publicKey),
        publish::FormatSecretKey(key, false, "").substr(1),
        std::string(publish::kMaxSecretKeyText + 1, 'x'),
    };
    for (const std::string& text : texts) {
        publish::SecretKey read;
        std::string error;
        EXPECT_FALSE(publish::SecretKeyNeedsPassword(text));
        EXPECT_FALSE(publish::LoadSecretKey(text, "", &read, &error)) << text;
    }
}

class SignedPublishTest : public testing::Test {
protected:
    void SetUp() override {
        m_release = m_dir / "rel";
        platform::CreateDir(m_release.c_str());
        publishtest::MakeReleaseFile(
            m_release, {"\\readme.txt", "text", publishtest::DosTime(2024, 1, 2, 3, 4, 6), false});
        m_root = m_dir / "srv";
        publish::GenerateKey(&m_key, &m_public);
        m_signing.key = &m_key;
        m_signing.now = 1700000000;  // 2023-11-14T22:13:20Z
    }

    // Publishes and returns the served list's claims.
    ListClaims PublishSigned() {
        publish::PublishResult result;
        std::string error;
        EXPECT_TRUE(publish::Publish(m_release, m_root, "V", &result, &error, nullptr, &m_signing))
            << error;
        std::string comment;
        std::string signature = ReadFileBytes(m_root + "\\V\\codelist.txt.zip.minisig");
        EXPECT_EQ(VerifyMinisignSignatureOfFile(m_root + "\\V\\codelist.txt.zip", signature,
                                                {m_public}, &comment),
                  SignatureStatus::Ok);
        ListClaims claims;
        EXPECT_TRUE(ParseListClaims(comment, &claims)) << comment;
        EXPECT_EQ(FormatListClaims(claims), comment);
        EXPECT_EQ(result.serial, claims.serial);
        return claims;
    }

    TempDir m_dir;
    std::string m_release, m_root;
    publish::SecretKey m_key;
    MinisignPublicKey m_public;
    publish::ListSigning m_signing;
};

TEST_F(SignedPublishTest, SerialGrowsWithEveryPublication) {
    ListClaims first = PublishSigned();
    EXPECT_EQ(first.version, "V");
    EXPECT_EQ(first.serial, 1u);
    EXPECT_FALSE(first.validUntil.has_value());
    EXPECT_EQ(PublishSigned().serial, 2u);
    m_signing.serial = 40;
    EXPECT_EQ(PublishSigned().serial, 40u);
    m_signing.serial.reset();
    EXPECT_EQ(PublishSigned().serial, 41u);
}

TEST_F(SignedPublishTest, ValidDaysSetTheEnd) {
    m_signing.validDays = 30;
    ListClaims claims = PublishSigned();
    ASSERT_TRUE(claims.validUntil.has_value());
    EXPECT_EQ(*claims.validUntil, 1700000000 + 30 * 86400);
    EXPECT_EQ(FormatUtcTime(*claims.validUntil), "2023-12-14T22:13:20Z");
}

TEST_F(SignedPublishTest, AServedSignatureWithoutSerialStopsThePublication) {
    PublishSigned();
    std::string served = m_root + "\\V\\codelist.txt.zip.minisig";
    std::string before = publish::SignMinisign(m_key, "x", "timestamp:1700000000");
    ASSERT_TRUE(platform::RemoveFile(served.c_str()));
    ASSERT_TRUE(testsupport::WriteFileBytes(served, before));
    publish::PublishResult result;
    std::string error;
    EXPECT_FALSE(publish::Publish(m_release, m_root, "V", &result, &error, nullptr, &m_signing));
    EXPECT_NE(error.find("--serial"), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes(served), before);
}

TEST_F(SignedPublishTest, UnsignedPublicationHasNoSignature) {
    publish::PublishResult result;
    std::string error;
    ASSERT_TRUE(publish::Publish(m_release, m_root, "V", &result, &error)) << error;
    EXPECT_FALSE(result.serial.has_value());
    EXPECT_FALSE(testsupport::FileExists(m_root + "\\V\\codelist.txt.zip.minisig"));
}

TEST(KeyFilesTest, NewFilesAreNeverReplaced) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(publish::WriteNewFile(dir / "a.key", "first", true, &error)) << error;
    EXPECT_FALSE(publish::WriteNewFile(dir / "a.key", "second", true, &error));
    EXPECT_NE(error.find("exists"), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes(dir / "a.key"), "first");
}

#ifndef _WIN32
TEST(KeyFilesTest, SecretFilesAreMadeForTheOwnerOnly) {
    TempDir dir;
    mode_t old = umask(0);  // so the mode comes from the creation alone
    std::string error;
    bool secretMade = publish::WriteNewFile(dir / "s.key", "secret", true, &error);
    bool publicMade = publish::WriteNewFile(dir / "p.pub", "public", false, &error);
    umask(old);
    ASSERT_TRUE(secretMade && publicMade) << error;
    struct stat st;
    ASSERT_EQ(stat(platform::NativePath((dir / "s.key").c_str()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(platform::NativePath((dir / "p.pub").c_str()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}
#endif

}  // namespace
