#include "engine/md5.h"

#include "engine/hex_text.h"

#include <cstring>

namespace {

// Little-endian load; compilers turn it into one move on x86.
inline uint32_t Load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint32_t Rotl(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

// The round functions in their cheapest equivalent forms: F and I as RFC 1321
// gives them with one operation fewer, G split into two independent terms that
// can be added without waiting for each other.
#define MD5_F(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define MD5_H(b, c, d) ((b) ^ (c) ^ (d))
#define MD5_I(b, c, d) ((c) ^ ((b) | ~(d)))

#define MD5_STEP(f, a, b, c, d, x, t, s) \
    a += f((b), (c), (d)) + (x) + (t);   \
    a = Rotl(a, s) + (b)

#define MD5_STEP_G(a, b, c, d, x, t, s) \
    a += ((x) + (t)) + ((c) & ~(d));    \
    a += ((b) & (d));                   \
    a = Rotl(a, s) + (b)

}  // namespace

void CMD5::Init() {
    m_state[0] = 0x67452301;
    m_state[1] = 0xefcdab89;
    m_state[2] = 0x98badcfe;
    m_state[3] = 0x10325476;
    m_bitCount = 0;
    std::memset(m_buffer, 0, sizeof m_buffer);
}

void CMD5::Transform(const uint8_t* blocks, size_t count) {
    uint32_t a = m_state[0];
    uint32_t b = m_state[1];
    uint32_t c = m_state[2];
    uint32_t d = m_state[3];
    for (; count > 0; --count, blocks += kBlockSize) {
        const uint32_t x0 = Load32(blocks + 0), x1 = Load32(blocks + 4), x2 = Load32(blocks + 8),
                       x3 = Load32(blocks + 12), x4 = Load32(blocks + 16), x5 = Load32(blocks + 20),
                       x6 = Load32(blocks + 24), x7 = Load32(blocks + 28), x8 = Load32(blocks + 32),
                       x9 = Load32(blocks + 36), x10 = Load32(blocks + 40),
                       x11 = Load32(blocks + 44), x12 = Load32(blocks + 48),
                       x13 = Load32(blocks + 52), x14 = Load32(blocks + 56),
                       x15 = Load32(blocks + 60);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        MD5_STEP(MD5_F, a, b, c, d, x0, 0xd76aa478, 7);
        MD5_STEP(MD5_F, d, a, b, c, x1, 0xe8c7b756, 12);
        MD5_STEP(MD5_F, c, d, a, b, x2, 0x242070db, 17);
        MD5_STEP(MD5_F, b, c, d, a, x3, 0xc1bdceee, 22);
        MD5_STEP(MD5_F, a, b, c, d, x4, 0xf57c0faf, 7);
        MD5_STEP(MD5_F, d, a, b, c, x5, 0x4787c62a, 12);
        MD5_STEP(MD5_F, c, d, a, b, x6, 0xa8304613, 17);
        MD5_STEP(MD5_F, b, c, d, a, x7, 0xfd469501, 22);
        MD5_STEP(MD5_F, a, b, c, d, x8, 0x698098d8, 7);
        MD5_STEP(MD5_F, d, a, b, c, x9, 0x8b44f7af, 12);
        MD5_STEP(MD5_F, c, d, a, b, x10, 0xffff5bb1, 17);
        MD5_STEP(MD5_F, b, c, d, a, x11, 0x895cd7be, 22);
        MD5_STEP(MD5_F, a, b, c, d, x12, 0x6b901122, 7);
        MD5_STEP(MD5_F, d, a, b, c, x13, 0xfd987193, 12);
        MD5_STEP(MD5_F, c, d, a, b, x14, 0xa679438e, 17);
        MD5_STEP(MD5_F, b, c, d, a, x15, 0x49b40821, 22);

        MD5_STEP_G(a, b, c, d, x1, 0xf61e2562, 5);
        MD5_STEP_G(d, a, b, c, x6, 0xc040b340, 9);
        MD5_STEP_G(c, d, a, b, x11, 0x265e5a51, 14);
        MD5_STEP_G(b, c, d, a, x0, 0xe9b6c7aa, 20);
        MD5_STEP_G(a, b, c, d, x5, 0xd62f105d, 5);
        MD5_STEP_G(d, a, b, c, x10, 0x02441453, 9);
        MD5_STEP_G(c, d, a, b, x15, 0xd8a1e681, 14);
        MD5_STEP_G(b, c, d, a, x4, 0xe7d3fbc8, 20);
        MD5_STEP_G(a, b, c, d, x9, 0x21e1cde6, 5);
        MD5_STEP_G(d, a, b, c, x14, 0xc33707d6, 9);
        MD5_STEP_G(c, d, a, b, x3, 0xf4d50d87, 14);
        MD5_STEP_G(b, c, d, a, x8, 0x455a14ed, 20);
        MD5_STEP_G(a, b, c, d, x13, 0xa9e3e905, 5);
        MD5_STEP_G(d, a, b, c, x2, 0xfcefa3f8, 9);
        MD5_STEP_G(c, d, a, b, x7, 0x676f02d9, 14);
        MD5_STEP_G(b, c, d, a, x12, 0x8d2a4c8a, 20);

        MD5_STEP(MD5_H, a, b, c, d, x5, 0xfffa3942, 4);
        MD5_STEP(MD5_H, d, a, b, c, x8, 0x8771f681, 11);
        MD5_STEP(MD5_H, c, d, a, b, x11, 0x6d9d6122, 16);
        MD5_STEP(MD5_H, b, c, d, a, x14, 0xfde5380c, 23);
        MD5_STEP(MD5_H, a, b, c, d, x1, 0xa4beea44, 4);
        MD5_STEP(MD5_H, d, a, b, c, x4, 0x4bdecfa9, 11);
        MD5_STEP(MD5_H, c, d, a, b, x7, 0xf6bb4b60, 16);
        MD5_STEP(MD5_H, b, c, d, a, x10, 0xbebfbc70, 23);
        MD5_STEP(MD5_H, a, b, c, d, x13, 0x289b7ec6, 4);
        MD5_STEP(MD5_H, d, a, b, c, x0, 0xeaa127fa, 11);
        MD5_STEP(MD5_H, c, d, a, b, x3, 0xd4ef3085, 16);
        MD5_STEP(MD5_H, b, c, d, a, x6, 0x04881d05, 23);
        MD5_STEP(MD5_H, a, b, c, d, x9, 0xd9d4d039, 4);
        MD5_STEP(MD5_H, d, a, b, c, x12, 0xe6db99e5, 11);
        MD5_STEP(MD5_H, c, d, a, b, x15, 0x1fa27cf8, 16);
        MD5_STEP(MD5_H, b, c, d, a, x2, 0xc4ac5665, 23);

        MD5_STEP(MD5_I, a, b, c, d, x0, 0xf4292244, 6);
        MD5_STEP(MD5_I, d, a, b, c, x7, 0x432aff97, 10);
        MD5_STEP(MD5_I, c, d, a, b, x14, 0xab9423a7, 15);
        MD5_STEP(MD5_I, b, c, d, a, x5, 0xfc93a039, 21);
        MD5_STEP(MD5_I, a, b, c, d, x12, 0x655b59c3, 6);
        MD5_STEP(MD5_I, d, a, b, c, x3, 0x8f0ccc92, 10);
        MD5_STEP(MD5_I, c, d, a, b, x10, 0xffeff47d, 15);
        MD5_STEP(MD5_I, b, c, d, a, x1, 0x85845dd1, 21);
        MD5_STEP(MD5_I, a, b, c, d, x8, 0x6fa87e4f, 6);
        MD5_STEP(MD5_I, d, a, b, c, x15, 0xfe2ce6e0, 10);
        MD5_STEP(MD5_I, c, d, a, b, x6, 0xa3014314, 15);
        MD5_STEP(MD5_I, b, c, d, a, x13, 0x4e0811a1, 21);
        MD5_STEP(MD5_I, a, b, c, d, x4, 0xf7537e82, 6);
        MD5_STEP(MD5_I, d, a, b, c, x11, 0xbd3af235, 10);
        MD5_STEP(MD5_I, c, d, a, b, x2, 0x2ad7d2bb, 15);
        MD5_STEP(MD5_I, b, c, d, a, x9, 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    m_state[0] = a;
    m_state[1] = b;
    m_state[2] = c;
    m_state[3] = d;
}

void CMD5::Update(const void* data, size_t length) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t used = static_cast<size_t>((m_bitCount >> 3) % kBlockSize);
    m_bitCount += static_cast<uint64_t>(length) << 3;

    if (used > 0) {
        size_t take = kBlockSize - used;
        if (length < take) {
            std::memcpy(m_buffer + used, p, length);
            return;
        }
        std::memcpy(m_buffer + used, p, take);
        Transform(m_buffer, 1);
        p += take;
        length -= take;
    }
    // Whole blocks straight from the caller's bytes, without copying.
    size_t blocks = length / kBlockSize;
    if (blocks > 0) {
        Transform(p, blocks);
        p += blocks * kBlockSize;
        length -= blocks * kBlockSize;
    }
    if (length > 0) {
        std::memcpy(m_buffer, p, length);
    }
}

CMD5::Digest CMD5::Final() {
    // 0x80, zeros up to 56 bytes modulo 64, then the bit count, low byte first.
    uint8_t length[8];
    uint64_t bits = m_bitCount;
    for (uint8_t& byte : length) {
        byte = static_cast<uint8_t>(bits);
        bits >>= 8;
    }
    size_t used = static_cast<size_t>((m_bitCount >> 3) % kBlockSize);
    size_t padLength = used < 56 ? 56 - used : 120 - used;
    static const uint8_t kPadding[kBlockSize] = {0x80};
    Update(kPadding, padLength);
    Update(length, sizeof length);

    Digest digest;
    for (size_t i = 0; i < 4; ++i) {
        digest[4 * i] = static_cast<uint8_t>(m_state[i]);
        digest[4 * i + 1] = static_cast<uint8_t>(m_state[i] >> 8);
        digest[4 * i + 2] = static_cast<uint8_t>(m_state[i] >> 16);
        digest[4 * i + 3] = static_cast<uint8_t>(m_state[i] >> 24);
    }
    Init();
    return digest;
}

std::string DigestToHex(const CMD5::Digest& digest) {
    return LowerHex(digest.data(), digest.size());
}
