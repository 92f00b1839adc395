#include "engine/sha256.h"

#include "engine/hex_text.h"
#include "engine/sha256_blocks.h"

#include <cstring>

bool IsSha256EngineAvailable(Sha256Engine engine) {
    static const bool hasShaExtensions = sha256_blocks::HasShaExtensions();
    return engine == Sha256Engine::kPlain || hasShaExtensions;
}

Sha256Engine BestSha256Engine() {
    return IsSha256EngineAvailable(Sha256Engine::kShaExtensions) ? Sha256Engine::kShaExtensions
                                                                 : Sha256Engine::kPlain;
}

void CSha256::Init() {
    static const uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(m_state, kInitial, sizeof m_state);
    m_length = 0;
    m_blockFill = 0;
}

void CSha256::Compress(const uint8_t* blocks, size_t count) {
    if (m_engine == Sha256Engine::kShaExtensions) {
        sha256_blocks::HashShaExtensions(m_state, blocks, count);
    } else {
        sha256_blocks::HashPlain(m_state, blocks, count);
    }
}

void CSha256::Update(const void* data, size_t length) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_length += length;
    if (m_blockFill > 0) {
        size_t take = kBlockSize - m_blockFill < length ? kBlockSize - m_blockFill : length;
        std::memcpy(m_block + m_blockFill, bytes, take);
        m_blockFill += take;
        bytes += take;
        length -= take;
        if (m_blockFill < kBlockSize) {
            return;
        }
        Compress(m_block, 1);
        m_blockFill = 0;
    }
    if (length >= kBlockSize) {
        Compress(bytes, length / kBlockSize);
        bytes += length / kBlockSize * kBlockSize;
        length %= kBlockSize;
    }
    std::memcpy(m_block, bytes, length);
    m_blockFill = length;
}

CSha256::Digest CSha256::Final() {
    uint64_t bits = m_length * 8;
    // 0x80, zeros up to 56 bytes into a block, then the length in bits.
    uint8_t padding[kBlockSize + 8] = {0x80};
    size_t zeros = (m_blockFill < 56 ? 56 : 56 + kBlockSize) - m_blockFill;
    for (int i = 0; i < 8; ++i) {
        padding[zeros + static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    }
    Update(padding, zeros + 8);
    Digest digest;
    for (size_t i = 0; i < 8; ++i) {
        for (size_t j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (24 - 8 * j));
        }
    }
    Init();
    return digest;
}

std::string Sha256ToHex(const CSha256::Digest& digest) {
    return LowerHex(digest.data(), digest.size());
}

std::string Sha256Hex(const void* data, size_t length) {
    CSha256 sha;
    sha.Update(data, length);
    return Sha256ToHex(sha.Final());
}
