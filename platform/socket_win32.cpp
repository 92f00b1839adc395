#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <type_traits>

namespace platform {

static_assert(std::is_same<SocketHandle, SOCKET>::value && kInvalidSocket == INVALID_SOCKET,
              "SocketHandle is Winsock's SOCKET");

namespace {

constexpr int kSendFlags = 0;

bool InterruptedCall() { return WSAGetLastError() == WSAEINTR; }
bool ConnectInProgress() { return WSAGetLastError() == WSAEWOULDBLOCK; }
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }

void SetBlocking(SocketHandle s, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
}

bool SocketErrorIsClear(SocketHandle s) {
    int error = 0;
    int len = sizeof error;
    return getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) == 0 &&
           error == 0;
}

// 1 when the socket is ready within the time, 0 on time-out, -1 on error.
int WaitReady(SocketHandle socket, bool forWrite, uint32_t timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    fd_set failed = set;
    timeval tv;
    tv.tv_sec = static_cast<long>(timeoutMs / 1000);
    tv.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    // A failed non-blocking connect shows in the exception set on Windows.
    int rc =
        forWrite ? select(0, nullptr, &set, &failed, &tv) : select(0, &set, nullptr, nullptr, &tv);
    if (rc > 0 && forWrite && !FD_ISSET(socket, &set)) {
        return -1;
    }
    return rc > 0 ? 1 : rc;
}

}  // namespace

bool StartSockets() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopSockets() { WSACleanup(); }

bool ResolveIPv4(const char* host, uint32_t* address) {
    // gethostbyname also takes a dotted address; its result is the first
    // address of the host's list.
    hostent* entry = host ? gethostbyname(host) : nullptr;
    if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0] ||
        entry->h_length != sizeof(in_addr)) {
        return false;
    }
    in_addr found;
    memcpy(&found, entry->h_addr_list[0], sizeof found);
    *address = ntohl(found.s_addr);
    return true;
}

int LastSocketError() { return WSAGetLastError(); }
void SetLastSocketError(int error) { WSASetLastError(error); }

void CloseSocket(SocketHandle socket) {
    if (socket != kInvalidSocket) {
        closesocket(socket);
    }
}

}  // namespace platform

#include "platform/socket_common.inc"
