// minisign secret keys: made, written, read and used for signing, so that a
// vendor can use keys made by `minisign -G` and minisign can use ours.
//
// The key file is "untrusted comment: ..." and one base64 line of
//   "Ed" | kdf "Sc" (scrypt) or 0 0 (none) | "B2" | salt (32) |
//   opslimit (8, little endian) | memlimit (8) | key id (8) | Ed25519 secret
//   key (64) | BLAKE2b-256 of "Ed" + key id + secret key (32)
// where, with scrypt, the last 104 bytes are XORed with scrypt(password, salt).
#pragma once

#include "engine/minisign.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace publish {

constexpr size_t kSecretKeySize = 64;
// Longer key files are not minisign's.
constexpr size_t kMaxSecretKeyText = 4096;

class SecretKey {
public:
    SecretKey() = default;
    ~SecretKey();
    SecretKey(const SecretKey&) = delete;
    SecretKey& operator=(const SecretKey&) = delete;

    MinisignKeyId keyId{};
    std::array<uint8_t, kSecretKeySize> key{};  // Ed25519: seed, then public key
};

// Whether the key file `text` is protected by a password; false also when it
// is no key file (LoadSecretKey then says why).
bool SecretKeyNeedsPassword(std::string_view text);

// Reads the key file `text`, decrypting it with `password` when it is
// encrypted. False with a message in `error` when it is malformed or the
// password is wrong. An unencrypted key's checksum may be all zero, as
// minisign 0.11 writes it with -W.
bool LoadSecretKey(std::string_view text, std::string_view password, SecretKey* key,
                   std::string* error);

// A new key pair; `key` gets the secret half.
void GenerateKey(SecretKey* key, MinisignPublicKey* publicKey);

// The key file for `key`: encrypted with `password` (minisign's scrypt
// limits: about 1 GiB and seconds), or unencrypted when `encrypt` is false.
std::string FormatSecretKey(const SecretKey& key, bool encrypt, std::string_view password);

// The public half of `key`.
MinisignPublicKey PublicKeyOf(const SecretKey& key);

// A minisign signature file of the default kind (Ed25519 over the BLAKE2b-512
// digest of `data`) with `trustedComment`, which must be one line.
std::string SignMinisign(const SecretKey& key, std::string_view data,
                         std::string_view trustedComment);

}  // namespace publish
