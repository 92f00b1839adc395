// The receive loop of one response: blocks from a byte source into the
// response state machine, within the receive time-out and above the
// low-speed floor.
#pragma once

#include "net/byte_source.h"
#include "net/response_reader.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// One receive block, and the bytes of it that no response has taken yet
// (they belong to the next response on the same connection).
class CReceiveBuffer {
public:
    explicit CReceiveBuffer(size_t capacity);
    bool valid() const { return m_block != nullptr; }
    const char* pending() const { return m_block.get() + m_begin; }
    size_t pendingSize() const { return m_end - m_begin; }
    void Take(size_t n) { m_begin += n; }
    void Clear() { m_begin = m_end = 0; }
    // Receives one block after the pending bytes have all been taken.
    int ReceiveFrom(IByteSource& source, uint32_t timeoutMs);

private:
    std::unique_ptr<char[]> m_block;
    size_t m_capacity;
    size_t m_begin = 0;
    size_t m_end = 0;
};

struct ReceivePacing {
    uint32_t receiveTimeoutMs;  // without any byte for this long, the response fails
    // Slower than this many bytes per second, measured over each window of
    // lowSpeedSeconds, fails the response; 0 turns the floor off.
    uint32_t lowSpeedBytesPerSecond;
    uint32_t lowSpeedSeconds;
};

// Feeds `reader` the pending bytes, then blocks from `source`, until it ends.
void ReceiveResponse(IByteSource& source, CReceiveBuffer& buffer, CResponseReader& reader,
                     const ReceivePacing& pacing);
