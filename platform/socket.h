// TCP sockets and IPv4 name resolution (Winsock 2.2 / BSD sockets), with a
// bound on every wait. No system header comes with it: the transport above
// sees plain numbers only.
#pragma once

#include "platform/unique_resource.h"

#include <cstdint>

namespace platform {

#ifdef _WIN32
using SocketHandle = uintptr_t;                                         // SOCKET
constexpr SocketHandle kInvalidSocket = ~static_cast<SocketHandle>(0);  // INVALID_SOCKET
#else
using SocketHandle = int;
constexpr SocketHandle kInvalidSocket = -1;
#endif

// An IPv4 address and TCP port, both in host byte order.
struct Ipv4Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;
};

// Starts the socket library, asking for version 2.2 (a no-op on POSIX). Each
// successful call is paired with one StopSockets.
bool StartSockets();
void StopSockets();

// The first IPv4 address of a host name or dotted address.
bool ResolveIPv4(const char* host, uint32_t* address);

// Opens a TCP connection, waiting at most `timeoutMs` for it; kInvalidSocket
// on failure (refused, unreachable, timed out). The socket is non-blocking,
// as are accepted ones: the calls below bound every wait themselves.
SocketHandle ConnectTcp(const Ipv4Endpoint& endpoint, uint32_t timeoutMs);

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

// The calling thread's last socket error (errno, WSAGetLastError) and its restore.
int LastSocketError();
void SetLastSocketError(int error);

// Turns off the send delay (Nagle), so a small request sent while an earlier
// one is unanswered leaves at once.
void SetNoDelay(SocketHandle socket);

// Owns one socket (platform/unique_resource.h): move-only, closed once.
struct SocketTraits {
    using Type = SocketHandle;
    static SocketHandle Invalid() { return kInvalidSocket; }
    static bool Close(SocketHandle socket) {
        CloseSocket(socket);
        return true;
    }
    static int SaveError() { return LastSocketError(); }
    static void RestoreError(int error) { SetLastSocketError(error); }
};
using Socket = UniqueResource<SocketTraits>;

// A listening socket on 127.0.0.1 with a port of the system's choice (tests
// and the demo's helpers). `port` receives the port in host byte order.
SocketHandle ListenLoopback(uint16_t* port);
// Waits at most `timeoutMs` for a connection.
SocketHandle AcceptWithin(SocketHandle listener, uint32_t timeoutMs);

}  // namespace platform
