#include "net/http_downloader.h"

#include "net/file_sink.h"
#include "net/response_reader.h"
#include "platform/codepage.h"
#include "platform/fs.h"

#include <cstdio>
#include <cstring>
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

// The response's length and progress as the window's notifications.
class CNotifyingObserver : public IResponseObserver {
public:
    explicit CNotifyingObserver(platform::NotifyTarget target) : m_target(target) {}
    void OnLength(int total) override { Post(m_target, DOWNLOAD_LENGTH, total); }
    void OnProgress(long long stored) override {
        Post(m_target, DOWNLOAD_PROGRESS, static_cast<intptr_t>(stored));
    }

private:
    platform::NotifyTarget m_target;
};

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
      m_hNotifyWnd(nullptr),
      m_bHeaderReceived(false),
      m_szLocalPath{},
      m_bResult(false),
      m_addr{},
      m_bSocketsStarted(false),
      m_nConnectTimeoutMs(kConnectTimeoutMs),
      m_nReceiveTimeoutMs(kReceiveTimeoutMs),
      m_nLowSpeedBytesPerSecond(kLowSpeedBytesPerSecond),
      m_nLowSpeedSeconds(kLowSpeedSeconds),
      m_nBodyLimit(kNoBodyLimit),
      m_lastFailure(DownloadFailure::None),
      m_nDownloads(0),
      m_nConnections(0),
      m_buffer(kReceiveBlockSize),
      m_nPipelineDepth(kPipelineDepth),
      m_nPlanNext(0),
      m_bServerKeeps(false),
      m_bPipeliningStopped(false) {}

CHttpDownloader::~CHttpDownloader() {
    m_socket.reset();
    if (m_bSocketsStarted) {
        platform::StopSockets();
    }
}

void CHttpDownloader::SetTimeouts(uint32_t connectMs, uint32_t receiveMs) {
    m_nConnectTimeoutMs = connectMs;
    m_nReceiveTimeoutMs = receiveMs;
}

void CHttpDownloader::SetLowSpeedLimit(uint32_t bytesPerSecond, uint32_t seconds) {
    m_nLowSpeedBytesPerSecond = bytesPerSecond;
    m_nLowSpeedSeconds = seconds;
}

void CHttpDownloader::SetBodyLimit(uint64_t bytes) { m_nBodyLimit = bytes; }

void CHttpDownloader::PlanDownloads(
    const std::vector<std::pair<std::string, std::string>>& downloads) {
    m_plan = downloads;
    m_nPlanNext = 0;
}

void CHttpDownloader::FollowPlan(const char* serverPath) {
    for (size_t i = m_nPlanNext; i < m_plan.size(); ++i) {
        if (m_plan[i].second == serverPath) {
            m_nPlanNext = i + 1;
            return;
        }
    }
}

// Adds the requests of the planned downloads that follow to `batch`, on a
// connection whose server has shown that it keeps connections; their answers
// are read, in order, by the downloads that ask for them.
void CHttpDownloader::AskAhead(std::string* batch) {
    if (!m_bServerKeeps || m_bPipeliningStopped || !m_socket) {
        return;
    }
    char request[kRequestBufferSize];
    while (m_ahead.size() < m_nPipelineDepth && m_nPlanNext < m_plan.size()) {
        const std::string& serverPath = m_plan[m_nPlanNext++].second;
        if (ComposeRequest(serverPath.c_str(), m_szHost, request, sizeof request)) {
            batch->append(request);
            m_ahead.push_back(serverPath);
        }  // otherwise its own download refuses it before sending
    }
}

bool CHttpDownloader::Init(const char* host, int port, platform::NotifyTarget notifyWnd) {
    // An address or connection from an earlier Init must not outlive a failed one.
    m_addr = platform::Ipv4Endpoint{};
    DropConnection();
    m_plan.clear();
    m_nPlanNext = 0;
    m_bServerKeeps = false;
    m_bPipeliningStopped = false;
    if (!host || strlen(host) >= sizeof m_szHost || port <= 0 || port > 0xFFFF) {
        return false;
    }
    if (!m_bSocketsStarted) {
        if (!platform::StartSockets()) {
            return false;
        }
        m_bSocketsStarted = true;
    }
    uint32_t address = 0;
    if (!platform::ResolveIPv4(host, &address)) {
        return false;
    }
    m_addr.address = address;
    m_addr.port = static_cast<uint16_t>(port);
    memcpy(m_szHost, host, strlen(host) + 1);
    if (!m_hDoneEvent.Create()) {
        return false;
    }
    m_hNotifyWnd = notifyWnd;
    return true;
}

void CHttpDownloader::DropConnection() {
    if (!m_ahead.empty()) {
        m_bPipeliningStopped = true;
    }
    m_ahead.clear();
    m_socket.reset();
    m_buffer.Clear();
}

bool CHttpDownloader::Connect() {
    DropConnection();
    if (!m_hDoneEvent.IsValid() || m_addr.port == 0) {
        return false;
    }
    m_socket.reset(platform::ConnectTcp(m_addr, m_nConnectTimeoutMs));
    if (!m_socket) {
        return false;
    }
    ++m_nConnections;
    platform::SetNoDelay(m_socket.get());
    return true;
}

// A kept connection can take the next request only when nothing has come on
// it since its last response: no close, no stray bytes.
bool CHttpDownloader::KeptConnectionIsIdle() {
    if (!m_socket || m_buffer.pendingSize() > 0) {
        return false;
    }
    char probe[1];
    return platform::ReceiveSome(m_socket.get(), probe, sizeof probe, 0) ==
           platform::kReceiveTimedOut;
}

bool CHttpDownloader::Fail(DownloadFailure failure, bool posted) {
    m_lastFailure = failure;
    m_bResult = false;
    if (posted) {
        m_hDoneEvent.Set();
        Post(m_hNotifyWnd, DOWNLOAD_FAILED, 0);
    }
    return false;
}

bool CHttpDownloader::DownloadFile(const char* localPath, const char* serverPath) {
    ++m_nDownloads;
    uint64_t bodyLimit = m_nBodyLimit;
    m_nBodyLimit = kNoBodyLimit;  // the bound is the next download's only
    // Refuse what does not fit before anything is created or sent.
    char request[kRequestBufferSize];
    if (!localPath || strlen(localPath) >= sizeof m_szLocalPath ||
        !ComposeRequest(serverPath, m_szHost, request, sizeof request)) {
        return Fail(DownloadFailure::Request, false);
    }
    memcpy(m_szLocalPath, localPath, strlen(localPath) + 1);
    std::string path = platform::ReplaceChar(m_szLocalPath, '/', '\\');
    // The folders stay even when the download then fails.
    platform::CreateParentFolders(path);

    m_hDoneEvent.Reset();
    m_bHeaderReceived = false;
    m_bResult = false;
    // Asked ahead already, or the kept connection is idle: it carries this one.
    bool sent = false;
    if (!m_ahead.empty()) {
        sent = m_ahead.front() == serverPath;
        if (sent) {
            m_ahead.pop_front();
        } else {
            DropConnection();  // the answers on it are not the ones wanted now
        }
    } else {
        FollowPlan(serverPath);
    }
    bool reused = sent || KeptConnectionIsIdle();
    if (!reused && !Connect()) {
        return Fail(DownloadFailure::Refused, true);
    }
    Post(m_hNotifyWnd, DOWNLOAD_CONNECTED, 0);

    int requestLength = static_cast<int>(strlen(request));
    CNotifyingObserver observer(m_hNotifyWnd);
    ReceivePacing pacing{m_nReceiveTimeoutMs, m_nLowSpeedBytesPerSecond, m_nLowSpeedSeconds};
    for (;;) {
        CFileSink sink(path);
        CResponseReader reader(sink, observer, bodyLimit);
        // This request (unless asked ahead already) and those that follow, in
        // one send; a failed send shows on the receive side.
        std::string batch;
        if (!sent) {
            batch.assign(request, static_cast<size_t>(requestLength));
        }
        AskAhead(&batch);
        if (!batch.empty()) {
            platform::SendAll(m_socket.get(), batch.data(), static_cast<int>(batch.size()));
        }
        CSocketSource source(m_socket.get());
        ReceiveResponse(source, m_buffer, reader, pacing);
        m_bHeaderReceived = reader.begun();
        // A kept connection the server had closed meanwhile: the request got
        // no byte of answer, so it is asked once more on a new connection.
        if (reused && !reader.begun() && reader.failure() == DownloadFailure::Reset) {
            if (sent) {
                m_bPipeliningStopped = true;
            }
            reused = false;
            sent = false;
            if (!Connect()) {
                return Fail(DownloadFailure::Refused, true);
            }
            continue;
        }
        if (reader.connectionReusable()) {
            m_bServerKeeps = true;
        }
        // Bytes past the response that no request asked for spoil the connection.
        if (!reader.connectionReusable() || (m_ahead.empty() && m_buffer.pendingSize() > 0)) {
            DropConnection();
        }
        if (reader.state() != CResponseReader::State::Done) {
            return Fail(reader.failure(), true);
        }
        m_lastFailure = DownloadFailure::None;
        m_bResult = true;
        m_hDoneEvent.Set();
        Post(m_hNotifyWnd, DOWNLOAD_DONE, 0);
        return true;
    }
}
