// SHA-256 blocks through the x86 SHA extensions. The state lives in two
// registers as the instructions want it, ABEF and CDGH; each sha256rnds2
// does two rounds, and sha256msg1/msg2 extend the message four words at once.
#include "engine/sha256_blocks.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

namespace sha256_blocks {

bool HasShaExtensions() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) {
        return false;
    }
    bool ssse3 = (c >> 9) & 1;
    bool sse41 = (c >> 19) & 1;
    if (!ssse3 || !sse41 || !__get_cpuid_count(7, 0, &a, &b, &c, &d)) {
        return false;
    }
    return (b >> 29) & 1;
}

__attribute__((target("sha,ssse3,sse4.1"))) void HashShaExtensions(uint32_t state[8],
                                                                   const uint8_t* blocks,
                                                                   size_t count) {
    // Each 32-bit word of a block is big-endian.
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i w[4];
        for (int group = 0; group < 16; ++group) {
            __m128i& words = w[group % 4];
            if (group < 4) {
                words = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)),
                    byteSwap);
            } else {
                // W[t..t+3] from W[t-16..t-13], W[t-15..], W[t-7..t-4], W[t-2..t-1].
                __m128i last = w[(group + 3) % 4];
                __m128i beforeLast = w[(group + 2) % 4];
                words = _mm_sha256msg1_epu32(words, w[(group + 1) % 4]);
                words = _mm_add_epi32(words, _mm_alignr_epi8(last, beforeLast, 4));
                words = _mm_sha256msg2_epu32(words, last);
            }
            __m128i k =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * group));
            __m128i wk = _mm_add_epi32(words, k);
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), hgfe);
}

}  // namespace sha256_blocks

#else

namespace sha256_blocks {

bool HasShaExtensions() { return false; }

void HashShaExtensions(uint32_t state[8], const uint8_t* blocks, size_t count) {
    HashPlain(state, blocks, count);
}

}  // namespace sha256_blocks

#endif
