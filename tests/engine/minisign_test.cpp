// Signatures made by the real minisign tool (make_minisign_fixture.py), as
// they are and changed in one place each.
#include "engine/minisign.h"

#include "fixture_files.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

std::string Fixture(const std::string& name) {
    return testfixture::ReadAll(testfixture::Dir(LKS_MINISIGN_FIXTURE_DIR) + "/" + name);
}

MinisignPublicKey Key(const char* name) {
    MinisignPublicKey key;
    EXPECT_TRUE(ParseMinisignPublicKey(Fixture(std::string(name) + ".pub"), &key)) << name;
    return key;
}

// What a case changes before the check; every field starts as read from the
// fixture folder.
struct Inputs {
    std::string data;
    std::string signature;
    std::vector<MinisignPublicKey> trusted;
};

// Re-encodes the signature file after `change` edits its parsed fields.
template <typename Change>
void EditSignature(Inputs* in, Change change) {
    MinisignSignature signature;
    ASSERT_TRUE(ParseMinisignSignature(in->signature, &signature));
    change(&signature);
    in->signature = FormatMinisignSignature(signature);
}

// Sets byte `at` of the decoded signature line (line 2), e.g. its algorithm.
void SetSignatureLineByte(Inputs* in, size_t at, char value) {
    size_t begin = in->signature.find('\n') + 1;
    size_t end = in->signature.find('\n', begin);
    std::string line = in->signature.substr(begin, end - begin);
    unsigned char blob[2 + kMinisignKeyIdSize + kMinisignSignatureSize];
    size_t size = 0;
    ASSERT_EQ(sodium_base642bin(blob, sizeof(blob), line.data(), line.size(), nullptr, &size,
                                nullptr, sodium_base64_VARIANT_ORIGINAL),
              0);
    ASSERT_EQ(size, sizeof(blob));
    blob[at] = static_cast<unsigned char>(value);
    char text[sodium_base64_ENCODED_LEN(sizeof(blob), sodium_base64_VARIANT_ORIGINAL)];
    sodium_bin2base64(text, sizeof(text), blob, sizeof(blob), sodium_base64_VARIANT_ORIGINAL);
    in->signature.replace(begin, end - begin, text);
}

struct VerifyCase {
    const char* name;
    const char* signature;  // fixture file
    const char* data;       // fixture file
    const char* keys;       // fixture key names, one letter each
    void (*change)(Inputs*);
    SignatureStatus expected;
    const char* comment;  // trusted comment on Ok; nullptr: comment.txt
};

std::ostream& operator<<(std::ostream& os, const VerifyCase& c) { return os << c.name; }

void Unchanged(Inputs*) {}

const VerifyCase kVerifyCases[] = {
    {"prehashed", "a.ED.minisig", "data.bin", "a", Unchanged, SignatureStatus::Ok, nullptr},
    {"legacy", "a.Ed.minisig", "data.bin", "a", Unchanged, SignatureStatus::Ok, nullptr},
    {"empty_data", "a.empty.minisig", "empty.bin", "a", Unchanged, SignatureStatus::Ok, nullptr},
    {"minisign_default_comment", "a.default.minisig", "data.bin", "a", Unchanged,
     SignatureStatus::Ok, "timestamp:"},
    {"second_of_two_trusted_keys", "b.ED.minisig", "data.bin", "ab", Unchanged, SignatureStatus::Ok,
     nullptr},
    {"first_of_two_trusted_keys", "a.ED.minisig", "data.bin", "ba", Unchanged, SignatureStatus::Ok,
     nullptr},
    {"crlf_line_ends", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         std::string text;
         for (char c : in->signature) {
             text += c == '\n' ? std::string("\r\n") : std::string(1, c);
         }
         in->signature = text;
     },
     SignatureStatus::Ok, nullptr},
    {"no_last_line_end", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { in->signature.pop_back(); }, SignatureStatus::Ok, nullptr},

    {"other_key", "b.ED.minisig", "data.bin", "a", Unchanged, SignatureStatus::UnknownKey, ""},
    {"no_trusted_key", "a.ED.minisig", "data.bin", "", Unchanged, SignatureStatus::UnknownKey, ""},
    {"key_id_changed", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { EditSignature(in, [](MinisignSignature* s) { s->keyId[0] ^= 1; }); },
     SignatureStatus::UnknownKey, ""},
    {"same_id_other_key", "b.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         in->trusted[0].keyId = Key("b").keyId;  // a's key under b's id
     },
     SignatureStatus::BadSignature, ""},
    {"data_byte_changed", "a.ED.minisig", "data.bin", "a", [](Inputs* in) { in->data[500] ^= 1; },
     SignatureStatus::BadSignature, ""},
    {"legacy_data_byte_changed", "a.Ed.minisig", "data.bin", "a",
     [](Inputs* in) { in->data[99999] ^= 0x80; }, SignatureStatus::BadSignature, ""},
    {"data_one_byte_longer", "a.ED.minisig", "data.bin", "a", [](Inputs* in) { in->data += 'x'; },
     SignatureStatus::BadSignature, ""},
    {"prehashed_read_as_legacy", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         EditSignature(in, [](MinisignSignature* s) { s->kind = MinisignKind::Legacy; });
     },
     SignatureStatus::BadSignature, ""},
    {"legacy_read_as_prehashed", "a.Ed.minisig", "data.bin", "a",
     [](Inputs* in) {
         EditSignature(in, [](MinisignSignature* s) { s->kind = MinisignKind::Prehashed; });
     },
     SignatureStatus::BadSignature, ""},
    {"signature_byte_changed", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { EditSignature(in, [](MinisignSignature* s) { s->signature[10] ^= 4; }); },
     SignatureStatus::BadSignature, ""},
    {"trusted_comment_changed", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         EditSignature(in, [](MinisignSignature* s) {
             s->trustedComment = "lksupdate version=V1 serial=8 valid-until=2031-02-28T23:59:59Z";
         });
     },
     SignatureStatus::BadGlobalSignature, ""},
    {"trusted_comment_lengthened", "a.Ed.minisig", "data.bin", "a",
     [](Inputs* in) { EditSignature(in, [](MinisignSignature* s) { s->trustedComment += " "; }); },
     SignatureStatus::BadGlobalSignature, ""},
    {"global_signature_changed", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         EditSignature(in, [](MinisignSignature* s) { s->globalSignature[63] ^= 1; });
     },
     SignatureStatus::BadGlobalSignature, ""},
    {"untrusted_comment_changed", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         EditSignature(in, [](MinisignSignature* s) { s->untrustedComment = "anything"; });
     },
     SignatureStatus::Ok, nullptr},

    {"empty_file", "a.ED.minisig", "data.bin", "a", [](Inputs* in) { in->signature.clear(); },
     SignatureStatus::Malformed, ""},
    {"three_lines", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         in->signature.erase(in->signature.rfind('\n', in->signature.size() - 2) + 1);
     },
     SignatureStatus::Malformed, ""},
    {"fifth_line", "a.ED.minisig", "data.bin", "a", [](Inputs* in) { in->signature += "x\n"; },
     SignatureStatus::Malformed, ""},
    {"blank_fifth_line", "a.ED.minisig", "data.bin", "a", [](Inputs* in) { in->signature += "\n"; },
     SignatureStatus::Malformed, ""},
    {"no_untrusted_prefix", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { in->signature.replace(0, 9, "distrusted"); }, SignatureStatus::Malformed, ""},
    {"no_trusted_prefix", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         size_t at = in->signature.find("trusted comment: ", 20);
         in->signature.replace(at, 17, "trusted-comment: ");
     },
     SignatureStatus::Malformed, ""},
    {"signature_line_not_base64", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { in->signature[in->signature.find('\n') + 5] = '*'; },
     SignatureStatus::Malformed, ""},
    {"signature_line_short", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         size_t line = in->signature.find('\n') + 1;
         in->signature.replace(line, in->signature.find('\n', line) - line, "RUQAAAAA");
     },
     SignatureStatus::Malformed, ""},
    {"global_line_missing_padding", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { in->signature.erase(in->signature.size() - 3, 2); },
     SignatureStatus::Malformed, ""},
    {"blank_after_global", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { in->signature.insert(in->signature.size() - 1, " "); },
     SignatureStatus::Malformed, ""},
    {"unknown_algorithm", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { SetSignatureLineByte(in, 1, 'E'); }, SignatureStatus::Malformed, ""},
    {"not_ed25519", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { SetSignatureLineByte(in, 0, 'e'); }, SignatureStatus::Malformed, ""},
    {"carriage_return_inside_line", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) { in->signature.insert(5, "\r"); }, SignatureStatus::Malformed, ""},
    {"too_long", "a.ED.minisig", "data.bin", "a",
     [](Inputs* in) {
         EditSignature(in, [](MinisignSignature* s) {
             s->untrustedComment = std::string(kMaxMinisignSignatureText, 'x');
         });
     },
     SignatureStatus::Malformed, ""},
};

class VerifyMinisignTest : public testing::TestWithParam<VerifyCase> {};

Inputs Prepare(const VerifyCase& c) {
    Inputs in;
    in.data = Fixture(c.data);
    in.signature = Fixture(c.signature);
    for (const char* k = c.keys; *k; ++k) {
        in.trusted.push_back(Key(std::string(1, *k).c_str()));
    }
    c.change(&in);
    return in;
}

TEST_P(VerifyMinisignTest, InMemory) {
    const VerifyCase& c = GetParam();
    Inputs in = Prepare(c);
    ASSERT_EQ(in.data.empty(), std::string(c.data) == "empty.bin");
    std::string comment = "left from before";
    EXPECT_EQ(
        SignatureStatusName(VerifyMinisignSignature(in.data, in.signature, in.trusted, &comment)),
        std::string(SignatureStatusName(c.expected)));
    if (c.comment == nullptr) {
        EXPECT_EQ(comment, Fixture("comment.txt"));
    } else {
        EXPECT_EQ(comment.substr(0, std::string(c.comment).size()), c.comment) << comment;
        EXPECT_EQ(comment.empty(), *c.comment == '\0') << comment;
    }
}

INSTANTIATE_TEST_SUITE_P(MinisignTest, VerifyMinisignTest, testing::ValuesIn(kVerifyCases),
                         [](const testing::TestParamInfo<VerifyCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(MinisignTest, FileHelperReadsBothKinds) {
    std::string dir = testfixture::Dir(LKS_MINISIGN_FIXTURE_DIR);
    std::vector<MinisignPublicKey> trusted = {Key("a")};
    std::string comment;
    for (const char* sig : {"a.ED.minisig", "a.Ed.minisig"}) {
        EXPECT_EQ(VerifyMinisignSignatureOfFile(dir + "/data.bin", Fixture(sig), trusted, &comment),
                  SignatureStatus::Ok)
            << sig;
        EXPECT_EQ(comment, Fixture("comment.txt"));
        // The data of another signature.
        EXPECT_EQ(
            VerifyMinisignSignatureOfFile(dir + "/empty.bin", Fixture(sig), trusted, &comment),
            SignatureStatus::BadSignature)
            << sig;
        EXPECT_EQ(comment, "");
    }
    EXPECT_EQ(VerifyMinisignSignatureOfFile(dir + "/missing.bin", Fixture("a.ED.minisig"), trusted,
                                            &comment),
              SignatureStatus::Unreadable);
}

TEST(MinisignTest, KeyAndSignatureFilesWriteBackAsMinisignWroteThem) {
    for (const char* name : {"a", "b"}) {
        std::string text = Fixture(std::string(name) + ".pub");
        MinisignPublicKey key;
        ASSERT_TRUE(ParseMinisignPublicKey(text, &key));
        EXPECT_EQ(FormatMinisignPublicKey(key), text);
        // The id that minisign puts into the key's comment.
        EXPECT_NE(text.find("minisign public key " + MinisignKeyIdHex(key.keyId) + "\n"),
                  std::string::npos)
            << text;
    }
    for (const char* name : {"a.ED.minisig", "a.Ed.minisig", "a.default.minisig"}) {
        std::string text = Fixture(name);
        MinisignSignature signature;
        ASSERT_TRUE(ParseMinisignSignature(text, &signature)) << name;
        EXPECT_EQ(FormatMinisignSignature(signature), text) << name;
    }
}

TEST(MinisignTest, PublicKeyForms) {
    std::string file = Fixture("a.pub");
    ASSERT_FALSE(file.empty());
    std::string line = file.substr(file.find('\n') + 1);
    line.pop_back();
    MinisignPublicKey fromFile, key;
    ASSERT_TRUE(ParseMinisignPublicKey(file, &fromFile));
    struct Form {
        std::string text;
        bool ok;
    };
    const Form forms[] = {
        {line, true},
        {line + "\n", true},
        {line + "\r\n", true},
        {"untrusted comment: another text\n" + line + "\n", true},
        {"", false},
        {"\n", false},
        {"comment without the prefix\n" + line + "\n", false},
        {file + file, false},
        {line.substr(0, line.size() - 4), false},
        {line + "AAAA", false},
        {"RWU" + line.substr(3), false},  // "Ee": no Ed25519 key
        {std::string(kMaxMinisignKeyText, ' ') + "\n" + line, false},
    };
    for (const Form& form : forms) {
        EXPECT_EQ(ParseMinisignPublicKey(form.text, &key), form.ok) << form.text;
        if (form.ok) {
            EXPECT_EQ(key.key, fromFile.key);
            EXPECT_EQ(key.keyId, fromFile.keyId);
        }
    }
}

TEST(MinisignTest, KeyIdIsPrintedHighByteFirst) {
    struct Case {
        MinisignKeyId id;
        const char* hex;
    };
    const Case cases[] = {
        {{0x23, 0x00, 0x63, 0x68, 0x07, 0x53, 0x23, 0xab}, "AB23530768630023"},
        // minisign drops leading zeros, a nibble or whole bytes of them.
        {{0xe9, 0xa6, 0xc5, 0x4c, 0x56, 0x1b, 0xd8, 0x0b}, "BD81B564CC5A6E9"},
        {{0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "201"},
        {{0, 0, 0, 0, 0, 0, 0, 0}, "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MinisignKeyIdHex(c.id), c.hex);
    }
}

TEST(MinisignTest, CommentsWithLineEndsAreNotWritten) {
    MinisignSignature signature;
    ASSERT_TRUE(ParseMinisignSignature(Fixture("a.ED.minisig"), &signature));
    signature.trustedComment = "two\nlines";
    EXPECT_EQ(FormatMinisignSignature(signature), "");
}

}  // namespace
