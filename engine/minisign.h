// minisign public keys and signature files, and their verification with
// libsodium. Pure: the parsers and the check work on bytes given to them; only
// VerifyMinisignSignatureOfFile reads a file.
//
// A public key is "Ed" + key id (8 bytes) + Ed25519 key (32 bytes), base64,
// in a file behind an "untrusted comment: " line or as a bare line. A
// signature file has four lines:
//   untrusted comment: <text>
//   base64("ED" or "Ed" + key id + Ed25519 signature (64 bytes))
//   trusted comment: <text>
//   base64(Ed25519 signature of the signature bytes + the trusted text)
// "ED" signs the BLAKE2b-512 digest of the data (minisign's default), "Ed"
// the data itself (minisign -l).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kMinisignKeyIdSize = 8;
constexpr size_t kMinisignKeySize = 32;
constexpr size_t kMinisignSignatureSize = 64;
// Longer texts are malformed: real ones are a few hundred bytes.
constexpr size_t kMaxMinisignKeyText = 2048;
constexpr size_t kMaxMinisignSignatureText = 4096;

using MinisignKeyId = std::array<uint8_t, kMinisignKeyIdSize>;

struct MinisignPublicKey {
    MinisignKeyId keyId{};
    std::array<uint8_t, kMinisignKeySize> key{};
};

enum class MinisignKind {
    Prehashed,  // "ED": over the BLAKE2b-512 digest of the data
    Legacy,     // "Ed": over the data
};

struct MinisignSignature {
    std::string untrustedComment;  // without "untrusted comment: "
    MinisignKind kind = MinisignKind::Prehashed;
    MinisignKeyId keyId{};
    std::array<uint8_t, kMinisignSignatureSize> signature{};
    std::string trustedComment;  // without "trusted comment: "
    std::array<uint8_t, kMinisignSignatureSize> globalSignature{};
};

enum class SignatureStatus {
    Ok,
    Malformed,           // not a signature file (or key list), or too long
    UnknownKey,          // signed by a key id that none of the trusted keys has
    BadSignature,        // the signature does not match the data
    BadGlobalSignature,  // the trusted comment was changed
    Unreadable,          // VerifyMinisignSignatureOfFile: the data file cannot be read
};

// "Ok", "Malformed", ...: for messages and test names.
const char* SignatureStatusName(SignatureStatus status);

// A public key file (comment line, key line) or a bare key line; a trailing
// line end is allowed. False when `text` is neither.
bool ParseMinisignPublicKey(std::string_view text, MinisignPublicKey* key);

// The key id as minisign prints it: upper-case hex digits, high byte first,
// without leading zeros.
std::string MinisignKeyIdHex(const MinisignKeyId& keyId);

// A public key file as minisign writes it.
std::string FormatMinisignPublicKey(const MinisignPublicKey& key);

// A signature file; lines end with LF or CR LF, the last line end may be
// missing, nothing may follow it. False when it is malformed.
bool ParseMinisignSignature(std::string_view text, MinisignSignature* signature);

// The signature file as minisign writes it (LF line ends). The comments must
// not hold a line end.
std::string FormatMinisignSignature(const MinisignSignature& signature);

// Checks `signatureText` over `data` against `trusted` (several keys, so a
// key can be rotated). On Ok `trustedComment` holds the trusted comment; on
// anything else it is cleared.
SignatureStatus VerifyMinisignSignature(std::string_view data, std::string_view signatureText,
                                        const std::vector<MinisignPublicKey>& trusted,
                                        std::string* trustedComment);

// The same over the file at `path`, read in blocks (a legacy signature needs
// the whole file in memory: up to kMaxLegacySignedFile bytes).
constexpr size_t kMaxLegacySignedFile = 64 * 1024 * 1024;
SignatureStatus VerifyMinisignSignatureOfFile(const std::string& path,
                                              std::string_view signatureText,
                                              const std::vector<MinisignPublicKey>& trusted,
                                              std::string* trustedComment);
