// TCP sockets and IPv4 name resolution (Winsock 2.2 / BSD sockets), with a
// bound on every wait.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

namespace platform {

#ifdef _WIN32
using SocketHandle = SOCKET;
constexpr SocketHandle kInvalidSocket = INVALID_SOCKET;
#else
using SocketHandle = int;
constexpr SocketHandle kInvalidSocket = -1;
#endif

// Starts the socket library, asking for version 2.2 (a no-op on POSIX). Each
// successful call is paired with one StopSockets.
bool StartSockets();
void StopSockets();

// The first IPv4 address of a host name or dotted address, in network byte order.
bool ResolveIPv4(const char* host, in_addr* address);

// Opens a TCP connection, waiting at most `timeoutMs` for it; kInvalidSocket
// on failure (refused, unreachable, timed out). The socket is non-blocking,
// as are accepted ones: the calls below bound every wait themselves.
SocketHandle ConnectTcp(const sockaddr_in& address, uint32_t timeoutMs);

// Result of ReceiveSome besides a byte count.
constexpr int kReceiveClosed = 0;
constexpr int kReceiveError = -1;
constexpr int kReceiveTimedOut = -2;

// Waits at most `timeoutMs` for data and receives up to `size` bytes: the
// count, kReceiveClosed when the peer closed, or one of the codes above.
int ReceiveSome(SocketHandle socket, char* buffer, int size, uint32_t timeoutMs);

// One send call; the number of bytes sent or -1.
int SendOnce(SocketHandle socket, const char* data, int size);
// Sends everything, or fails (also when no room comes for 30 s).
bool SendAll(SocketHandle socket, const char* data, int size);

void CloseSocket(SocketHandle socket);

// Turns off the send delay (Nagle), so a small request sent while an earlier
// one is unanswered leaves at once.
void SetNoDelay(SocketHandle socket);

// Owns one socket: move-only, closed once, by its destructor or reset.
class Socket {
public:
    Socket() = default;
    explicit Socket(SocketHandle handle) : m_handle(handle) {}
    ~Socket() { reset(); }
    Socket(Socket&& other) noexcept : m_handle(other.release()) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    SocketHandle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != kInvalidSocket; }
    SocketHandle release() {
        SocketHandle handle = m_handle;
        m_handle = kInvalidSocket;
        return handle;
    }
    void reset(SocketHandle handle = kInvalidSocket) {
        if (m_handle != kInvalidSocket) {
            CloseSocket(m_handle);
        }
        m_handle = handle;
    }

private:
    SocketHandle m_handle = kInvalidSocket;
};

// A listening socket on 127.0.0.1 with a port of the system's choice (tests
// and the demo's helpers). `port` receives the port in host byte order.
SocketHandle ListenLoopback(uint16_t* port);
// Waits at most `timeoutMs` for a connection.
SocketHandle AcceptWithin(SocketHandle listener, uint32_t timeoutMs);

}  // namespace platform
