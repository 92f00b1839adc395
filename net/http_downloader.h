// A minimal HTTP/1.1 GET client on a plain TCP socket: fetches one server
// path into one local file on a receive thread of its own while the caller
// blocks, and reports progress as WM_DOWNLOAD_EVENT notifications.
#pragma once

#include "net/download_events.h"
#include "platform/notify.h"
#include "platform/socket.h"
#include "platform/thread.h"

#include <cstdint>

constexpr int kHostBufferSize = 100;       // host text, NUL included
constexpr int kLocalPathBufferSize = 255;  // local path, NUL included
constexpr int kRequestBufferSize = 1024;   // the whole request text, NUL included
constexpr int kReceiveBlockSize = 102400;
constexpr uint32_t kConnectTimeoutMs = 15000;
constexpr uint32_t kReceiveTimeoutMs = 30000;  // without any data, a download fails

class CHttpDownloader {
public:
    CHttpDownloader();
    virtual ~CHttpDownloader();
    CHttpDownloader(const CHttpDownloader&) = delete;
    CHttpDownloader& operator=(const CHttpDownloader&) = delete;

    // Prepares downloads from `host` (a DNS name or dotted IPv4 address) on
    // `port`, notifying `notifyWnd`. False when the host is too long, the
    // socket library cannot start or the host does not resolve.
    bool Init(const char* host, int port, platform::NotifyTarget notifyWnd);
    // Fetches `serverPath` (without its leading "/") into `localPath`; true
    // when the whole body is stored. Blocks until the download has ended.
    bool DownloadFile(const char* localPath, const char* serverPath);
    // Bounds of the waits on the network (tests shorten them).
    void SetTimeouts(uint32_t connectMs, uint32_t receiveMs);

    char m_szHost[kHostBufferSize];
    platform::SocketHandle m_socket;
    platform::NotifyTarget m_hNotifyWnd;
    bool m_bHeaderReceived;
    char m_szLocalPath[kLocalPathBufferSize];
    platform::Event m_hDoneEvent;
    void* m_hReceiveThread;
    bool m_bResult;
    sockaddr_in m_addr;

private:
    friend unsigned ReceiveThreadProc(void* param);
    enum class End { Failed, Done, DoneAfterBlocks };
    End ReceiveResponse(char* block, platform::NotifyTarget target, int* total);

    bool m_bSocketsStarted;
    uint32_t m_nConnectTimeoutMs;
    uint32_t m_nReceiveTimeoutMs;
};

// The one client of the program, living from start to exit.
extern CHttpDownloader g_downloader;

// The receive thread of one download; `param` is the client.
unsigned ReceiveThreadProc(void* param);

// The request text for `serverPath` and `host` into `out` (kRequestBufferSize
// bytes): blanks of the path become "%20", nothing else is escaped. False,
// with nothing written past the buffer, when it does not fit.
bool ComposeRequest(const char* serverPath, const char* host, char* out, int outSize);
