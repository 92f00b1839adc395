#include "engine/minisign.h"

#include "platform/fs.h"

#include <sodium.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr size_t kKeyBlobSize = 2 + kMinisignKeyIdSize + kMinisignKeySize;
constexpr size_t kSignatureBlobSize = 2 + kMinisignKeyIdSize + kMinisignSignatureSize;
constexpr size_t kHashSize = crypto_generichash_BYTES_MAX;  // BLAKE2b-512
constexpr size_t kReadBlock = 64 * 1024;

static_assert(crypto_sign_PUBLICKEYBYTES == kMinisignKeySize, "Ed25519 key size");
static_assert(crypto_sign_BYTES == kMinisignSignatureSize, "Ed25519 signature size");
static_assert(kHashSize == 64, "BLAKE2b-512");

// Splits `text` into lines at LF, each without its LF and a CR before it.
// The last line end may be missing. False when a line holds a CR elsewhere.
bool SplitLines(std::string_view text, std::vector<std::string_view>* lines) {
    lines->clear();
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.find('\r') != std::string_view::npos) {
            return false;
        }
        lines->push_back(line);
    }
    return true;
}

// Decodes standard base64 (with padding) that must give exactly `size` bytes.
bool DecodeBase64(std::string_view text, uint8_t* out, size_t size) {
    if (text.empty() || text.size() > 4 * ((size + 2) / 3)) {
        return false;
    }
    size_t decoded = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out, size, text.data(), text.size(), nullptr, &decoded, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0) {
        return false;
    }
    return decoded == size && end == text.data() + text.size();
}

std::string EncodeBase64(const uint8_t* data, size_t size) {
    std::vector<char> text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL));
    sodium_bin2base64(text.data(), text.size(), data, size, sodium_base64_VARIANT_ORIGINAL);
    return std::string(text.data());
}

bool HasLineEnd(std::string_view text) {
    return text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos;
}

bool ParseKeyLine(std::string_view line, MinisignPublicKey* key) {
    uint8_t blob[kKeyBlobSize];
    if (!DecodeBase64(line, blob, sizeof(blob)) || blob[0] != 'E' || blob[1] != 'd') {
        return false;
    }
    std::memcpy(key->keyId.data(), blob + 2, kMinisignKeyIdSize);
    std::memcpy(key->key.data(), blob + 2 + kMinisignKeyIdSize, kMinisignKeySize);
    return true;
}

const MinisignPublicKey* FindKey(const std::vector<MinisignPublicKey>& trusted,
                                 const MinisignKeyId& keyId) {
    for (const auto& key : trusted) {
        if (key.keyId == keyId) {
            return &key;
        }
    }
    return nullptr;
}

// The checks that follow the signature over the message: the global signature.
SignatureStatus CheckGlobalSignature(const MinisignSignature& signature,
                                     const MinisignPublicKey& key, std::string* trustedComment) {
    std::string signedText(reinterpret_cast<const char*>(signature.signature.data()),
                           signature.signature.size());
    signedText += signature.trustedComment;
    if (crypto_sign_verify_detached(signature.globalSignature.data(),
                                    reinterpret_cast<const unsigned char*>(signedText.data()),
                                    signedText.size(), key.key.data()) != 0) {
        return SignatureStatus::BadGlobalSignature;
    }
    *trustedComment = signature.trustedComment;
    return SignatureStatus::Ok;
}

SignatureStatus CheckMessage(const MinisignSignature& signature, const MinisignPublicKey& key,
                             const unsigned char* message, size_t size,
                             std::string* trustedComment) {
    if (crypto_sign_verify_detached(signature.signature.data(), message, size, key.key.data()) !=
        0) {
        return SignatureStatus::BadSignature;
    }
    return CheckGlobalSignature(signature, key, trustedComment);
}

// Parses the signature and finds its key; Ok when both are there.
SignatureStatus Prepare(std::string_view signatureText,
                        const std::vector<MinisignPublicKey>& trusted, MinisignSignature* signature,
                        const MinisignPublicKey** key) {
    if (sodium_init() < 0 || !ParseMinisignSignature(signatureText, signature)) {
        return SignatureStatus::Malformed;
    }
    *key = FindKey(trusted, signature->keyId);
    return *key ? SignatureStatus::Ok : SignatureStatus::UnknownKey;
}

}  // namespace

const char* SignatureStatusName(SignatureStatus status) {
    switch (status) {
        case SignatureStatus::Ok: return "Ok";
        case SignatureStatus::Malformed: return "Malformed";
        case SignatureStatus::UnknownKey: return "UnknownKey";
        case SignatureStatus::BadSignature: return "BadSignature";
        case SignatureStatus::BadGlobalSignature: return "BadGlobalSignature";
        case SignatureStatus::Unreadable: return "Unreadable";
    }
    return "?";
}

bool ParseMinisignPublicKey(std::string_view text, MinisignPublicKey* key) {
    std::vector<std::string_view> lines;
    if (text.size() > kMaxMinisignKeyText || !SplitLines(text, &lines)) {
        return false;
    }
    if (lines.size() == 1) {
        return ParseKeyLine(lines[0], key);
    }
    return lines.size() == 2 && lines[0].substr(0, kUntrustedPrefix.size()) == kUntrustedPrefix &&
           ParseKeyLine(lines[1], key);
}

std::string MinisignKeyIdHex(const MinisignKeyId& keyId) {
    // minisign prints the id as a little-endian 64-bit number with printf's
    // "%" PRIX64: no leading zeros, so an id may have fewer than 16 digits.
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = keyId.size(); i-- > 0;) {
        text += kHex[keyId[i] >> 4];
        text += kHex[keyId[i] & 0x0f];
    }
    size_t first = text.find_first_not_of('0');
    return first == std::string::npos ? "0" : text.substr(first);
}

std::string FormatMinisignPublicKey(const MinisignPublicKey& key) {
    uint8_t blob[kKeyBlobSize] = {'E', 'd'};
    std::memcpy(blob + 2, key.keyId.data(), kMinisignKeyIdSize);
    std::memcpy(blob + 2 + kMinisignKeyIdSize, key.key.data(), kMinisignKeySize);
    return std::string(kUntrustedPrefix) + "minisign public key " + MinisignKeyIdHex(key.keyId) +
           "\n" + EncodeBase64(blob, sizeof(blob)) + "\n";
}

bool ParseMinisignSignature(std::string_view text, MinisignSignature* signature) {
    std::vector<std::string_view> lines;
    if (text.size() > kMaxMinisignSignatureText || !SplitLines(text, &lines) || lines.size() != 4) {
        return false;
    }
    if (lines[0].substr(0, kUntrustedPrefix.size()) != kUntrustedPrefix ||
        lines[2].substr(0, kTrustedPrefix.size()) != kTrustedPrefix) {
        return false;
    }
    uint8_t blob[kSignatureBlobSize];
    if (!DecodeBase64(lines[1], blob, sizeof(blob)) || blob[0] != 'E' ||
        (blob[1] != 'D' && blob[1] != 'd')) {
        return false;
    }
    if (!DecodeBase64(lines[3], signature->globalSignature.data(),
                      signature->globalSignature.size())) {
        return false;
    }
    signature->untrustedComment = lines[0].substr(kUntrustedPrefix.size());
    signature->kind = blob[1] == 'D' ? MinisignKind::Prehashed : MinisignKind::Legacy;
    std::memcpy(signature->keyId.data(), blob + 2, kMinisignKeyIdSize);
    std::memcpy(signature->signature.data(), blob + 2 + kMinisignKeyIdSize, kMinisignSignatureSize);
    signature->trustedComment = lines[2].substr(kTrustedPrefix.size());
    return true;
}

std::string FormatMinisignSignature(const MinisignSignature& signature) {
    if (HasLineEnd(signature.untrustedComment) || HasLineEnd(signature.trustedComment)) {
        return std::string();
    }
    uint8_t blob[kSignatureBlobSize] = {
        'E', static_cast<uint8_t>(signature.kind == MinisignKind::Prehashed ? 'D' : 'd')};
    std::memcpy(blob + 2, signature.keyId.data(), kMinisignKeyIdSize);
    std::memcpy(blob + 2 + kMinisignKeyIdSize, signature.signature.data(), kMinisignSignatureSize);
    return std::string(kUntrustedPrefix) + signature.untrustedComment + "\n" +
           EncodeBase64(blob, sizeof(blob)) + "\n" + std::string(kTrustedPrefix) +
           signature.trustedComment + "\n" +
           EncodeBase64(signature.globalSignature.data(), signature.globalSignature.size()) + "\n";
}

namespace {

// Both entry points: the signature and its key first, then the message, which
// `feed(take)` hands over in blocks (take(bytes, n) -> false: too much);
// `feed` is false when the message cannot be read. A prehashed signature signs
// the message's BLAKE2b hash, a legacy one the message itself, kept whole up
// to `legacyLimit` bytes.
template <typename Feed>
SignatureStatus VerifyFed(std::string_view signatureText,
                          const std::vector<MinisignPublicKey>& trusted,
                          std::string* trustedComment, size_t legacyLimit, Feed feed) {
    trustedComment->clear();
    MinisignSignature signature;
    const MinisignPublicKey* key = nullptr;
    SignatureStatus status = Prepare(signatureText, trusted, &signature, &key);
    if (status != SignatureStatus::Ok) {
        return status;
    }
    bool prehashed = signature.kind == MinisignKind::Prehashed;
    std::vector<unsigned char> whole;  // legacy only
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, kHashSize);
    bool fed = feed([&](const unsigned char* bytes, size_t n) {
        if (prehashed) {
            crypto_generichash_update(&state, bytes, n);
        } else if (n > legacyLimit - whole.size()) {
            return false;
        } else {
            whole.insert(whole.end(), bytes, bytes + n);
        }
        return true;
    });
    if (!fed) {
        return SignatureStatus::Unreadable;
    }
    if (!prehashed) {
        return CheckMessage(signature, *key, whole.data(), whole.size(), trustedComment);
    }
    unsigned char hash[kHashSize];
    crypto_generichash_final(&state, hash, sizeof(hash));
    return CheckMessage(signature, *key, hash, sizeof(hash), trustedComment);
}

}  // namespace

SignatureStatus VerifyMinisignSignature(std::string_view data, std::string_view signatureText,
                                        const std::vector<MinisignPublicKey>& trusted,
                                        std::string* trustedComment) {
    return VerifyFed(signatureText, trusted, trustedComment, SIZE_MAX, [&](auto take) {
        return take(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    });
}

SignatureStatus VerifyMinisignSignatureOfFile(const std::string& path,
                                              std::string_view signatureText,
                                              const std::vector<MinisignPublicKey>& trusted,
                                              std::string* trustedComment) {
    return VerifyFed(signatureText, trusted, trustedComment, kMaxLegacySignedFile, [&](auto take) {
        platform::File file;
        if (!file.Open(path.c_str(), platform::File::Mode::ReadDenyWrite)) {
            return false;
        }
        std::vector<unsigned char> block(kReadBlock);
        long n;
        while ((n = file.Read(block.data(), block.size())) > 0) {
            if (!take(block.data(), static_cast<size_t>(n))) {
                return false;
            }
        }
        return n == 0;
    });
}
