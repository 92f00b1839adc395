#include "engine/sha256.h"

void CSha256::Init() { crypto_hash_sha256_init(&m_state); }

void CSha256::Update(const void* data, size_t length) {
    crypto_hash_sha256_update(&m_state, static_cast<const unsigned char*>(data), length);
}

CSha256::Digest CSha256::Final() {
    Digest digest;
    crypto_hash_sha256_final(&m_state, digest.data());
    Init();
    return digest;
}

std::string Sha256ToHex(const CSha256::Digest& digest) {
    char text[2 * CSha256::kDigestSize + 1];
    sodium_bin2hex(text, sizeof(text), digest.data(), digest.size());
    return std::string(text, 2 * CSha256::kDigestSize);
}

std::string Sha256Hex(const void* data, size_t length) {
    CSha256 sha;
    sha.Update(data, length);
    return Sha256ToHex(sha.Final());
}
