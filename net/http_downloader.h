// A minimal HTTP/1.1 GET client on a plain TCP socket: fetches one server
// path into one local file while the caller blocks, and reports progress as
// WM_DOWNLOAD_EVENT notifications. The connection is kept for the next
// download while the server keeps it.
#pragma once

#include "net/download_events.h"
#include "net/download_failure.h"
#include "net/receive_loop.h"
#include "platform/notify.h"
#include "platform/socket.h"
#include "platform/thread.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

constexpr int kHostBufferSize = 100;       // host text, NUL included
constexpr int kLocalPathBufferSize = 255;  // local path, NUL included
constexpr int kRequestBufferSize = 1024;   // the whole request text, NUL included
constexpr int kReceiveBlockSize = 102400;
constexpr uint32_t kConnectTimeoutMs = 15000;
constexpr uint32_t kReceiveTimeoutMs = 30000;  // without any data, a download fails
// As curl's low-speed rule: under this many bytes a second for this long fails.
constexpr uint32_t kLowSpeedBytesPerSecond = 1024;
constexpr uint32_t kLowSpeedSeconds = 60;
// Requests of planned downloads sent ahead on a kept connection, at most.
constexpr size_t kPipelineDepth = 8;

class CHttpDownloader {
public:
    CHttpDownloader();
    virtual ~CHttpDownloader();
    CHttpDownloader(const CHttpDownloader&) = delete;
    CHttpDownloader& operator=(const CHttpDownloader&) = delete;

    // Prepares downloads from `host` (a DNS name or dotted IPv4 address) on
    // `port`, notifying `notifyWnd`. False when the host is too long, the
    // socket library cannot start or the host does not resolve.
    virtual bool Init(const char* host, int port, platform::NotifyTarget notifyWnd);
    // Fetches `serverPath` (without its leading "/") into `localPath`; true
    // when the whole body is stored. Blocks until the download has ended.
    virtual bool DownloadFile(const char* localPath, const char* serverPath);
    // The downloads that follow, in order, as (local path, server path): a
    // hint the client may use to ask ahead. Optional; no effect on results.
    virtual void PlanDownloads(const std::vector<std::pair<std::string, std::string>>& downloads);
    // The largest body the next DownloadFile may store: a longer
    // Content-Length fails at once, a body without one is cut off (fails).
    void SetBodyLimit(uint64_t bytes);
    // Bounds of the waits on the network (tests shorten them).
    void SetTimeouts(uint32_t connectMs, uint32_t receiveMs);
    // A transfer under `bytesPerSecond` over `seconds` fails; 0 turns it off.
    void SetLowSpeedLimit(uint32_t bytesPerSecond, uint32_t seconds);
    // Requests sent ahead at most (0: one request at a time); benchmarks compare.
    void SetPipelineDepth(size_t depth) { m_nPipelineDepth = depth; }

    // Why the last download failed (None after a success).
    DownloadFailure LastFailure() const { return m_lastFailure; }
    // How many downloads were asked for since the start.
    unsigned DownloadCount() const { return m_nDownloads; }
    // TCP connections opened since the start.
    unsigned ConnectionCount() const { return m_nConnections; }

    char m_szHost[kHostBufferSize];
    platform::Socket m_socket;
    platform::NotifyTarget m_hNotifyWnd;
    bool m_bHeaderReceived;
    char m_szLocalPath[kLocalPathBufferSize];
    platform::Event m_hDoneEvent;
    bool m_bResult;
    platform::Ipv4Endpoint m_addr;  // the server; port 0 until Init succeeds

private:
    bool Connect();
    void DropConnection();
    bool KeptConnectionIsIdle();
    // Where `serverPath` stands in the plan: the entries after it may be asked ahead.
    void FollowPlan(const char* serverPath);
    void AskAhead(std::string* batch);
    bool Fail(DownloadFailure failure, bool posted);

    bool m_bSocketsStarted;
    uint32_t m_nConnectTimeoutMs;
    uint32_t m_nReceiveTimeoutMs;
    uint32_t m_nLowSpeedBytesPerSecond;
    uint32_t m_nLowSpeedSeconds;
    uint64_t m_nBodyLimit;
    DownloadFailure m_lastFailure;
    unsigned m_nDownloads;
    unsigned m_nConnections;
    CReceiveBuffer m_buffer;

    std::vector<std::pair<std::string, std::string>> m_plan;
    size_t m_nPipelineDepth;
    size_t m_nPlanNext;               // the first planned entry not yet asked for
    std::deque<std::string> m_ahead;  // server paths asked ahead on m_socket, in order
    bool m_bServerKeeps;              // a response has kept its connection: asking ahead is safe
    bool m_bPipeliningStopped;        // a connection closed with requests on it: no more ahead
};

// The one client of the program, living from start to exit.
extern CHttpDownloader g_downloader;

// The request text for `serverPath` and `host` into `out` (kRequestBufferSize
// bytes): blanks of the path become "%20", nothing else is escaped. False,
// with nothing written past the buffer, when it does not fit.
bool ComposeRequest(const char* serverPath, const char* host, char* out, int outSize);
