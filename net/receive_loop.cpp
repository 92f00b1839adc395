#include "net/receive_loop.h"

#include <chrono>
#include <new>

namespace {

using Clock = std::chrono::steady_clock;

uint32_t MsUntil(Clock::time_point now, Clock::time_point deadline) {
    if (deadline <= now) {
        return 0;
    }
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
    return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<uint32_t>(ms);
}

}  // namespace

CReceiveBuffer::CReceiveBuffer(size_t capacity)
    : m_block(new (std::nothrow) char[capacity]), m_capacity(m_block ? capacity : 0) {}

int CReceiveBuffer::ReceiveFrom(IByteSource& source, uint32_t timeoutMs) {
    Clear();
    int n = source.Receive(m_block.get(), static_cast<int>(m_capacity), timeoutMs);
    if (n > 0) {
        m_end = static_cast<size_t>(n);
    }
    return n;
}

void ReceiveResponse(IByteSource& source, CReceiveBuffer& buffer, CResponseReader& reader,
                     const ReceivePacing& pacing) {
    if (!buffer.valid()) {
        reader.FeedFailure(DownloadFailure::Write);
        return;
    }
    if (buffer.pendingSize() > 0) {
        buffer.Take(reader.Feed(buffer.pending(), buffer.pendingSize()));
    }
    bool floor = pacing.lowSpeedBytesPerSecond > 0 && pacing.lowSpeedSeconds > 0;
    auto window = std::chrono::seconds(pacing.lowSpeedSeconds);
    uint64_t windowNeeds =
        static_cast<uint64_t>(pacing.lowSpeedBytesPerSecond) * pacing.lowSpeedSeconds;
    Clock::time_point lastData = Clock::now();
    Clock::time_point windowStart = lastData;
    uint64_t windowBytes = 0;
    while (!reader.ended()) {
        Clock::time_point now = Clock::now();
        if (floor && now - windowStart >= window) {
            if (windowBytes < windowNeeds) {
                reader.FeedFailure(DownloadFailure::Slow);
                return;
            }
            windowStart = now;
            windowBytes = 0;
        }
        Clock::time_point quietEnd = lastData + std::chrono::milliseconds(pacing.receiveTimeoutMs);
        uint32_t wait = MsUntil(now, quietEnd);
        if (floor && MsUntil(now, windowStart + window) < wait) {
            wait = MsUntil(now, windowStart + window);
        }
        int n = buffer.ReceiveFrom(source, wait);
        if (n > 0) {
            lastData = Clock::now();
            windowBytes += static_cast<uint64_t>(n);
            buffer.Take(reader.Feed(buffer.pending(), buffer.pendingSize()));
        } else if (n == platform::kReceiveClosed) {
            reader.FeedClose();
        } else if (n == platform::kReceiveTimedOut) {
            if (Clock::now() >= quietEnd) {
                reader.FeedFailure(DownloadFailure::TimedOut);
            }
            // Otherwise the floor's window ended: judged at the top.
        } else {
            reader.FeedFailure(DownloadFailure::Reset);
        }
    }
}
