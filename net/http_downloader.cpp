#include "net/http_downloader.h"

#include "net/response_header.h"
#include "platform/codepage.h"
#include "platform/fs.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

CHttpDownloader g_downloader;

namespace {

// The request, byte for byte; the first %s is the escaped server path, the second the host.
constexpr char kRequestTemplate[] =
    "GET /%s HTTP/1.1\r\n"
    "Accept: */*\r\n"
    "Accept-Language: zh-cn\r\n"
    "Accept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)\r\n"
    "Host: %s\r\n"
    "Connection: Keep-Alive\r\n"
    "\r\n";

void Post(platform::NotifyTarget target, DownloadEvent code, intptr_t value) {
    platform::PostNotification(target, WM_DOWNLOAD_EVENT, code, value);
}

}  // namespace

bool ComposeRequest(const char* serverPath, const char* host, char* out, int outSize) {
    if (!serverPath || !host || !out || outSize <= 0) {
        return false;
    }
    std::string escaped;
    for (const char* p = serverPath; *p; ++p) {
        if (*p == ' ') {
            escaped += "%20";
        } else {
            escaped += *p;
        }
    }
    int n = snprintf(out, static_cast<size_t>(outSize), kRequestTemplate, escaped.c_str(), host);
    if (n < 0 || n >= outSize) {
        out[0] = '\0';
        return false;
    }
    return true;
}

CHttpDownloader::CHttpDownloader()
    : m_szHost{},
      m_socket(platform::kInvalidSocket),
      m_hNotifyWnd(nullptr),
      m_bHeaderReceived(false),
      m_szLocalPath{},
      m_hReceiveThread(nullptr),
      m_bResult(false),
      m_addr{},
      m_bSocketsStarted(false),
      m_nConnectTimeoutMs(kConnectTimeoutMs),
      m_nReceiveTimeoutMs(kReceiveTimeoutMs) {}

CHttpDownloader::~CHttpDownloader() {
    if (m_bSocketsStarted) {
        platform::StopSockets();
    }
}

void CHttpDownloader::SetTimeouts(uint32_t connectMs, uint32_t receiveMs) {
    m_nConnectTimeoutMs = connectMs;
    m_nReceiveTimeoutMs = receiveMs;
}

bool CHttpDownloader::Init(const char* host, int port, platform::NotifyTarget notifyWnd) {
    // An address from an earlier Init must not outlive a failed one.
    m_addr = sockaddr_in{};
    if (!host || strlen(host) >= sizeof m_szHost || port <= 0 || port > 0xFFFF) {
        return false;
    }
    if (!m_bSocketsStarted) {
        if (!platform::StartSockets()) {
            return false;
        }
        m_bSocketsStarted = true;
    }
    in_addr address;
    if (!platform::ResolveIPv4(host, &address)) {
        return false;
    }
    m_addr.sin_family = AF_INET;
    m_addr.sin_port = htons(static_cast<uint16_t>(port));
    m_addr.sin_addr = address;
    memcpy(m_szHost, host, strlen(host) + 1);
    if (!m_hDoneEvent.Create()) {
        return false;
    }
    m_hNotifyWnd = notifyWnd;
    return true;
}

bool CHttpDownloader::DownloadFile(const char* localPath, const char* serverPath) {
    // Refuse what does not fit before anything is created or sent.
    char request[kRequestBufferSize];
    if (!localPath || strlen(localPath) >= sizeof m_szLocalPath ||
        !ComposeRequest(serverPath, m_szHost, request, sizeof request)) {
        return false;
    }
    memcpy(m_szLocalPath, localPath, strlen(localPath) + 1);
    // The folders stay even when the download then fails.
    platform::CreateParentFolders(platform::ReplaceChar(m_szLocalPath, '/', '\\'));

    m_hDoneEvent.Reset();
    m_bHeaderReceived = false;
    m_socket = (m_hDoneEvent.IsValid() && m_addr.sin_family == AF_INET)
                   ? platform::ConnectTcp(m_addr, m_nConnectTimeoutMs)
                   : platform::kInvalidSocket;
    if (m_socket == platform::kInvalidSocket) {
        Post(m_hNotifyWnd, DOWNLOAD_FAILED, 0);
        return false;
    }
    Post(m_hNotifyWnd, DOWNLOAD_CONNECTED, 0);

    // Everything the receive thread reads is written before it starts.
    m_bResult = false;
    if (m_hReceiveThread || !platform::StartThread(ReceiveThreadProc, this)) {
        platform::CloseSocket(m_socket);
        m_socket = platform::kInvalidSocket;
        Post(m_hNotifyWnd, DOWNLOAD_FAILED, 0);
        return false;
    }
    // A failed send shows on the receive side.
    platform::SendOnce(m_socket, request, static_cast<int>(strlen(request)));

    // No limit here: every wait of the receive thread has one.
    m_hDoneEvent.Wait();
    platform::CloseSocket(m_socket);
    m_socket = platform::kInvalidSocket;
    return m_bResult;
}

CHttpDownloader::End CHttpDownloader::ReceiveResponse(char* block, platform::NotifyTarget target,
                                                      int* total) {
    // The header: received until its empty line, within kHeaderMaxLength.
    int filled = 0;
    ResponseHeader header;
    for (;;) {
        int n = platform::ReceiveSome(m_socket, block + filled, kReceiveBlockSize - filled,
                                      m_nReceiveTimeoutMs);
        if (n <= 0) {
            return End::Failed;
        }
        m_bHeaderReceived = true;
        filled += n;
        if (AnalyseResponseHeader(block, static_cast<size_t>(filled), &header)) {
            break;
        }
        if (filled >= kHeaderMaxLength) {
            return End::Failed;
        }
    }
    // Only a plain 200 body can be stored as it comes: nothing else reaches the file.
    if (header.statusCode != 200 || header.transferCoded || header.contentCoded ||
        header.length == ResponseHeader::Length::Invalid) {
        return End::Failed;
    }
    bool untilClose = header.length == ResponseHeader::Length::Absent;
    if (untilClose && !header.connectionClose && !header.http10) {
        // A kept-alive connection without a length has no end to wait for.
        return End::Failed;
    }
    *total = untilClose ? 0 : header.contentLength;
    Post(target, DOWNLOAD_LENGTH, *total);

    long long stored = 0;
    int body = filled - header.headerLength;
    if (!untilClose && body > *total) {
        body = *total;  // bytes past the announced length are not part of the file
    }
    // Opened once, never through a link; each block is written as it comes,
    // so what has arrived is in the file.
    platform::File file;
    std::string path = platform::ReplaceChar(m_szLocalPath, '/', '\\');
    if (!file.Open(path.c_str(), platform::File::Mode::CreateAlways) ||
        !file.Write(block + header.headerLength, static_cast<size_t>(body))) {
        return End::Failed;
    }
    stored = body;
    if (!untilClose && stored == *total) {
        return file.Close() ? End::Done : End::Failed;
    }
    for (;;) {
        int n = platform::ReceiveSome(m_socket, block, kReceiveBlockSize, m_nReceiveTimeoutMs);
        if (n == platform::kReceiveClosed && untilClose) {
            return file.Close() ? End::Done : End::Failed;
        }
        if (n <= 0) {
            return End::Failed;
        }
        if (!untilClose && n > *total - stored) {
            n = static_cast<int>(*total - stored);
        }
        if (stored + n > INT_MAX || !file.Write(block, static_cast<size_t>(n))) {
            return End::Failed;
        }
        stored += n;
        if (!untilClose && stored == *total) {
            return file.Close() ? End::DoneAfterBlocks : End::Failed;
        }
        Post(target, DOWNLOAD_PROGRESS, static_cast<intptr_t>(stored));
    }
}

unsigned ReceiveThreadProc(void* param) {
    auto* client = static_cast<CHttpDownloader*>(param);
    // Kept locally: after the end is signalled the caller may Init again.
    platform::NotifyTarget target = client->m_hNotifyWnd;
    std::unique_ptr<char[]> block(new (std::nothrow) char[kReceiveBlockSize]);
    client->m_hReceiveThread = platform::CurrentThreadMarker();

    int total = 0;
    CHttpDownloader::End end =
        block ? client->ReceiveResponse(block.get(), target, &total) : CHttpDownloader::End::Failed;

    // Results and the last notifications first, then the end signal: once
    // DownloadFile has returned nothing more is posted, so a display that
    // goes away with the run is never posted to.
    client->m_bResult = end != CHttpDownloader::End::Failed;
    client->m_hReceiveThread = nullptr;
    if (end == CHttpDownloader::End::DoneAfterBlocks) {
        Post(target, DOWNLOAD_PROGRESS, total);
    }
    Post(target, end == CHttpDownloader::End::Failed ? DOWNLOAD_FAILED : DOWNLOAD_DONE, 0);
    client->m_hDoneEvent.Set();
    return 0;
}
