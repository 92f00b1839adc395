// The SHA-256 compression function over whole 64-byte blocks, one per engine.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sha256_blocks {

extern const uint32_t kRoundConstants[64];

void HashPlain(uint32_t state[8], const uint8_t* blocks, size_t count);

// Only where HasShaExtensions(): x86 SHA-NI with SSSE3 and SSE4.1.
bool HasShaExtensions();
void HashShaExtensions(uint32_t state[8], const uint8_t* blocks, size_t count);

}  // namespace sha256_blocks
