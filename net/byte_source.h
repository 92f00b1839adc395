// Where a response's bytes come from: a connected socket in the product,
// canned blocks in tests.
#pragma once

#include "platform/socket.h"

#include <cstdint>

class IByteSource {
public:
    virtual ~IByteSource() = default;
    // Waits at most `timeoutMs` and receives up to `size` bytes: the count,
    // or platform::kReceiveClosed, kReceiveError, kReceiveTimedOut.
    virtual int Receive(char* buffer, int size, uint32_t timeoutMs) = 0;
};

class CSocketSource : public IByteSource {
public:
    explicit CSocketSource(platform::SocketHandle socket) : m_socket(socket) {}
    int Receive(char* buffer, int size, uint32_t timeoutMs) override {
        return platform::ReceiveSome(m_socket, buffer, size, timeoutMs);
    }

private:
    platform::SocketHandle m_socket;
};
