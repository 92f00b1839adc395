// SHA-256 over a stream of bytes (libsodium's crypto_hash_sha256), for the
// "SH" field of the update list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include <sodium.h>

class CSha256 {
public:
    static constexpr size_t kDigestSize = crypto_hash_sha256_BYTES;
    using Digest = std::array<uint8_t, kDigestSize>;

    CSha256() { Init(); }

    // Starts a new digest.
    void Init();
    // Feeds `length` bytes.
    void Update(const void* data, size_t length);
    // Gives the digest of what was fed since Init(); Init() starts over.
    Digest Final();

private:
    crypto_hash_sha256_state m_state;
};

// The digest as 64 lower-case hex digits, high digit first.
std::string Sha256ToHex(const CSha256::Digest& digest);

// The SHA-256 of `length` bytes at `data`, as 64 lower-case hex digits.
std::string Sha256Hex(const void* data, size_t length);
