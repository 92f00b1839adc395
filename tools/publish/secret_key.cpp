#include "tools/publish/secret_key.h"

#include <sodium.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace publish {

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr size_t kSaltSize = crypto_pwhash_scryptsalsa208sha256_SALTBYTES;
constexpr size_t kChecksumSize = crypto_generichash_BYTES;  // BLAKE2b-256
// Offsets in the decoded key file.
constexpr size_t kKdfAt = 2;
constexpr size_t kChecksumAlgAt = 4;
constexpr size_t kSaltAt = 6;
constexpr size_t kOpsAt = kSaltAt + kSaltSize;
constexpr size_t kMemAt = kOpsAt + 8;
constexpr size_t kSecretAt = kMemAt + 8;  // the part that scrypt covers
constexpr size_t kSecretPartSize = kMinisignKeyIdSize + kSecretKeySize + kChecksumSize;
constexpr size_t kBlobSize = kSecretAt + kSecretPartSize;
// minisign's limits for a new key; larger ones in a file are refused, so a
// key file cannot ask for unbounded memory.
constexpr uint64_t kOpsLimit = crypto_pwhash_scryptsalsa208sha256_OPSLIMIT_SENSITIVE;
constexpr uint64_t kMemLimit = crypto_pwhash_scryptsalsa208sha256_MEMLIMIT_SENSITIVE;

static_assert(kSaltSize == 32, "scrypt salt");
static_assert(kBlobSize == 158, "minisign secret key");
static_assert(crypto_sign_SECRETKEYBYTES == kSecretKeySize, "Ed25519 secret key");

// Wipes the bytes it holds when it goes.
struct Wiped {
    explicit Wiped(size_t size) : bytes(size) {}
    ~Wiped() { sodium_memzero(bytes.data(), bytes.size()); }
    std::vector<uint8_t> bytes;
};

uint64_t Load64(const uint8_t* at) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return value;
}

void Store64(uint8_t* at, uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void Checksum(const uint8_t* keyId, const uint8_t* secret, uint8_t* out) {
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, kChecksumSize);
    crypto_generichash_update(&state, reinterpret_cast<const uint8_t*>("Ed"), 2);
    crypto_generichash_update(&state, keyId, kMinisignKeyIdSize);
    crypto_generichash_update(&state, secret, kSecretKeySize);
    crypto_generichash_final(&state, out, kChecksumSize);
}

// XORs the secret part of `blob` with the scrypt stream of `password`.
bool ApplyPassword(uint8_t* blob, std::string_view password, uint64_t ops, uint64_t mem) {
    Wiped stream(kSecretPartSize);
    if (crypto_pwhash_scryptsalsa208sha256(stream.bytes.data(), stream.bytes.size(),
                                           password.data(), password.size(), blob + kSaltAt, ops,
                                           static_cast<size_t>(mem)) != 0) {
        return false;
    }
    for (size_t i = 0; i < kSecretPartSize; ++i) {
        blob[kSecretAt + i] ^= stream.bytes[i];
    }
    return true;
}

// The decoded key line of `text`; false when `text` is no key file.
bool DecodeKeyFile(std::string_view text, Wiped* blob) {
    if (text.size() > kMaxSecretKeyText ||
        text.substr(0, kUntrustedPrefix.size()) != kUntrustedPrefix) {
        return false;
    }
    size_t lineEnd = text.find('\n');
    if (lineEnd == std::string_view::npos) {
        return false;
    }
    std::string_view line = text.substr(lineEnd + 1);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    size_t decoded = 0;
    const char* end = nullptr;
    return sodium_init() >= 0 &&
           sodium_base642bin(blob->bytes.data(), blob->bytes.size(), line.data(), line.size(),
                             nullptr, &decoded, &end, sodium_base64_VARIANT_ORIGINAL) == 0 &&
           decoded == kBlobSize && end == line.data() + line.size() && blob->bytes[0] == 'E' &&
           blob->bytes[1] == 'd' && blob->bytes[kChecksumAlgAt] == 'B' &&
           blob->bytes[kChecksumAlgAt + 1] == '2';
}

bool IsEncrypted(const Wiped& blob) {
    return blob.bytes[kKdfAt] == 'S' && blob.bytes[kKdfAt + 1] == 'c';
}

bool IsUnencrypted(const Wiped& blob) {
    return blob.bytes[kKdfAt] == 0 && blob.bytes[kKdfAt + 1] == 0;
}

}  // namespace

SecretKey::~SecretKey() { sodium_memzero(key.data(), key.size()); }

bool SecretKeyNeedsPassword(std::string_view text) {
    Wiped blob(kBlobSize);
    return DecodeKeyFile(text, &blob) && IsEncrypted(blob);
}

bool LoadSecretKey(std::string_view text, std::string_view password, SecretKey* key,
                   std::string* error) {
    Wiped blob(kBlobSize);
    if (!DecodeKeyFile(text, &blob) || (!IsEncrypted(blob) && !IsUnencrypted(blob))) {
        *error = "is no minisign secret key";
        return false;
    }
    uint8_t* bytes = blob.bytes.data();
    if (IsEncrypted(blob)) {
        uint64_t ops = Load64(bytes + kOpsAt);
        uint64_t mem = Load64(bytes + kMemAt);
        if (ops > kOpsLimit || mem > kMemLimit) {
            *error = "asks for more scrypt work than minisign's limits";
            return false;
        }
        if (!ApplyPassword(bytes, password, ops, mem)) {
            *error = "cannot be decrypted (out of memory?)";
            return false;
        }
    }
    const uint8_t* keyId = bytes + kSecretAt;
    const uint8_t* secret = keyId + kMinisignKeyIdSize;
    const uint8_t* stored = secret + kSecretKeySize;
    uint8_t expected[kChecksumSize];
    Checksum(keyId, secret, expected);
    static const uint8_t kZero[kChecksumSize] = {};
    bool zeroAllowed = IsUnencrypted(blob) && std::memcmp(stored, kZero, kChecksumSize) == 0;
    if (!zeroAllowed && sodium_memcmp(stored, expected, kChecksumSize) != 0) {
        *error =
            IsEncrypted(blob) ? "cannot be decrypted with this password" : "has a wrong checksum";
        return false;
    }
    std::memcpy(key->keyId.data(), keyId, kMinisignKeyIdSize);
    std::memcpy(key->key.data(), secret, kSecretKeySize);
    return true;
}

void GenerateKey(SecretKey* key, MinisignPublicKey* publicKey) {
    if (sodium_init() < 0) {
        abort();  // no source of random numbers: nothing can be signed
    }
    crypto_sign_keypair(publicKey->key.data(), key->key.data());
    randombytes_buf(key->keyId.data(), key->keyId.size());
    publicKey->keyId = key->keyId;
}

MinisignPublicKey PublicKeyOf(const SecretKey& key) {
    MinisignPublicKey publicKey;
    publicKey.keyId = key.keyId;
    crypto_sign_ed25519_sk_to_pk(publicKey.key.data(), key.key.data());
    return publicKey;
}

std::string FormatSecretKey(const SecretKey& key, bool encrypt, std::string_view password) {
    Wiped blob(kBlobSize);
    uint8_t* bytes = blob.bytes.data();
    bytes[0] = 'E';
    bytes[1] = 'd';
    bytes[kChecksumAlgAt] = 'B';
    bytes[kChecksumAlgAt + 1] = '2';
    std::memcpy(bytes + kSecretAt, key.keyId.data(), kMinisignKeyIdSize);
    std::memcpy(bytes + kSecretAt + kMinisignKeyIdSize, key.key.data(), kSecretKeySize);
    Checksum(key.keyId.data(), key.key.data(),
             bytes + kSecretAt + kMinisignKeyIdSize + kSecretKeySize);
    if (encrypt) {
        bytes[kKdfAt] = 'S';
        bytes[kKdfAt + 1] = 'c';
        randombytes_buf(bytes + kSaltAt, kSaltSize);
        Store64(bytes + kOpsAt, kOpsLimit);
        Store64(bytes + kMemAt, kMemLimit);
        if (!ApplyPassword(bytes, password, kOpsLimit, kMemLimit)) {
            return std::string();
        }
    }
    std::vector<char> text(sodium_base64_ENCODED_LEN(kBlobSize, sodium_base64_VARIANT_ORIGINAL));
    sodium_bin2base64(text.data(), text.size(), bytes, kBlobSize, sodium_base64_VARIANT_ORIGINAL);
    std::string file = std::string(kUntrustedPrefix) + "minisign encrypted secret key\n";
    file += text.data();
    sodium_memzero(text.data(), text.size());
    return file + "\n";
}

std::string SignMinisign(const SecretKey& key, std::string_view data,
                         std::string_view trustedComment) {
    MinisignSignature signature;
    signature.untrustedComment = "signature from minisign secret key";
    signature.kind = MinisignKind::Prehashed;
    signature.keyId = key.keyId;
    signature.trustedComment = std::string(trustedComment);
    uint8_t hash[crypto_generichash_BYTES_MAX];
    crypto_generichash(hash, sizeof(hash), reinterpret_cast<const uint8_t*>(data.data()),
                       data.size(), nullptr, 0);
    crypto_sign_detached(signature.signature.data(), nullptr, hash, sizeof(hash), key.key.data());
    std::string global(reinterpret_cast<const char*>(signature.signature.data()),
                       signature.signature.size());
    global += trustedComment;
    crypto_sign_detached(signature.globalSignature.data(), nullptr,
                         reinterpret_cast<const uint8_t*>(global.data()), global.size(),
                         key.key.data());
    return FormatMinisignSignature(signature);
}

}  // namespace publish
