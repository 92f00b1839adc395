// SHA-256 over a stream of bytes, for the "SH" field of the update list.
// Every byte an update installs is hashed twice (as it is unpacked and where
// it is installed), so the blocks go through the processor's SHA extensions
// where it has them: five times the speed of the plain code here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// How the 64-byte blocks are hashed.
enum class Sha256Engine {
    kPlain,          // portable C++
    kShaExtensions,  // x86 SHA-NI, where the processor has it
};

// True when `engine` can run on this processor.
bool IsSha256EngineAvailable(Sha256Engine engine);
// The fastest available engine.
Sha256Engine BestSha256Engine();

class CSha256 {
public:
    static constexpr size_t kDigestSize = 32;
    static constexpr size_t kBlockSize = 64;
    using Digest = std::array<uint8_t, kDigestSize>;

    // An engine this processor lacks falls back to the plain one: the SHA
    // instructions would stop the program.
    explicit CSha256(Sha256Engine engine = BestSha256Engine())
        : m_engine(IsSha256EngineAvailable(engine) ? engine : Sha256Engine::kPlain) {
        Init();
    }

    // Starts a new digest.
    void Init();
    // Feeds `length` bytes.
    void Update(const void* data, size_t length);
    // Gives the digest of what was fed since Init(); Init() starts over.
    Digest Final();

private:
    void Compress(const uint8_t* blocks, size_t count);

    Sha256Engine m_engine;
    uint32_t m_state[8];
    uint64_t m_length;  // bytes fed
    uint8_t m_block[kBlockSize];
    size_t m_blockFill;
};

// The digest as 64 lower-case hex digits, high digit first.
std::string Sha256ToHex(const CSha256::Digest& digest);

// The SHA-256 of `length` bytes at `data`, as 64 lower-case hex digits.
std::string Sha256Hex(const void* data, size_t length);
