// The MD5 message digest (RFC 1321): standard initial state, padding and
// length encoding, nothing configurable.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class CMD5 {
public:
    static constexpr size_t kDigestSize = 16;
    using Digest = std::array<uint8_t, kDigestSize>;

    CMD5() { Init(); }
    virtual ~CMD5() = default;

    // Starts a new digest.
    void Init();
    // Feeds `length` bytes.
    void Update(const void* data, size_t length);
    // Pads, appends the bit count and gives the digest; Init() starts over.
    Digest Final();

private:
    static constexpr size_t kBlockSize = 64;

    // Runs the compression function over `count` whole blocks.
    void Transform(const uint8_t* blocks, size_t count);

    uint32_t m_state[4];
    uint64_t m_bitCount;           // message length in bits, modulo 2^64
    uint8_t m_buffer[kBlockSize];  // a partial block waiting for more input
};

// The digest as 32 lower-case hex digits, high digit first ("00", "0a", "ff").
std::string DigestToHex(const CMD5::Digest& digest);
