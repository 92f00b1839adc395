#include "platform/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// A peer that closes early must not kill the process with SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;

bool InterruptedCall() { return errno == EINTR; }
bool ConnectInProgress() { return errno == EINPROGRESS; }
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }

void SetBlocking(SocketHandle s, bool blocking) {
    int flags = fcntl(s, F_GETFL, 0);
    fcntl(s, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

bool SocketErrorIsClear(SocketHandle s) {
    int error = 0;
    socklen_t len = sizeof error;
    return getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
}

// 1 when the socket is ready within the time, 0 on time-out, -1 on error.
int WaitReady(SocketHandle socket, bool forWrite, uint32_t timeoutMs) {
    pollfd fd{};
    fd.fd = socket;
    fd.events = forWrite ? POLLOUT : POLLIN;
    for (;;) {
        int rc = poll(&fd, 1, static_cast<int>(timeoutMs > 0x7FFFFFFF ? 0x7FFFFFFF : timeoutMs));
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        return rc > 0 ? 1 : rc;
    }
}

}  // namespace

bool StartSockets() { return true; }
void StopSockets() {}

bool ResolveIPv4(const char* host, uint32_t* address) {
    // getaddrinfo rather than gethostbyname: it is safe on any thread.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (!host || getaddrinfo(host, nullptr, &hints, &result) != 0 || !result) {
        return false;
    }
    *address = ntohl(reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(result);
    return true;
}

int LastSocketError() { return errno; }
void SetLastSocketError(int error) { errno = error; }

void CloseSocket(SocketHandle socket) {
    if (socket != kInvalidSocket) {
        close(socket);
    }
}

}  // namespace platform

#include "platform/socket_common.inc"
