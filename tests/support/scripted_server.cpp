#include "support/scripted_server.h"

#include <gtest/gtest.h>

namespace testsupport {

namespace {

constexpr uint32_t kAcceptTimeoutMs = 20000;
constexpr uint32_t kAcceptSliceMs = 50;
constexpr uint32_t kRequestTimeoutMs = 10000;
constexpr size_t kRequestMaxLength = 65536;

size_t CountRequests(const std::string& received) {
    size_t count = 0;
    for (size_t pos = received.find("\r\n\r\n"); pos != std::string::npos;
         pos = received.find("\r\n\r\n", pos + 4)) {
        ++count;
    }
    return count;
}

}  // namespace

std::vector<ServerStep> Trickle(const std::string& data, size_t piece, uint32_t pauseMs) {
    std::vector<ServerStep> steps;
    for (size_t pos = 0; pos < data.size(); pos += piece) {
        steps.push_back(Send(data.substr(pos, piece)));
        steps.push_back(Pause(pauseMs));
    }
    return steps;
}

std::string OkResponse(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nServer: scripted\r\nContent-Type: "
           "application/zip\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

ScriptedServer::ScriptedServer(std::vector<ServerStep> script, int connections)
    : m_responses(static_cast<size_t>(connections), script) {
    Start();
}

ScriptedServer::ScriptedServer(KeepAlive, std::vector<std::vector<ServerStep>> responses)
    : m_responses(std::move(responses)), m_closeAfterEach(false) {
    Start();
}

ScriptedServer::ScriptedServer(ByPath, std::map<std::string, std::vector<ServerStep>> scripts)
    : m_closeAfterEach(false), m_byPath(true), m_scripts(std::move(scripts)) {
    Start();
}

void ScriptedServer::Start() {
    platform::StartSockets();
    m_stop.Create();
    m_listener = platform::ListenLoopback(&m_port);
    EXPECT_NE(m_listener, platform::kInvalidSocket) << "cannot listen on 127.0.0.1";
    m_thread = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
    m_stop.Set();
    m_thread.join();
    platform::CloseSocket(m_listener);
    platform::StopSockets();
}

std::vector<std::string> ScriptedServer::requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int ScriptedServer::requestsSentAhead() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_ahead;
}

const std::vector<ServerStep>* ScriptedServer::ScriptFor(const std::string& request, size_t* next) {
    if (!m_byPath) {
        return *next < m_responses.size() ? &m_responses[(*next)++] : nullptr;
    }
    static const std::vector<ServerStep> kNotFound = {
        Send("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")};
    size_t begin = request.find(" /");
    size_t end = begin == std::string::npos ? begin : request.find(' ', begin + 2);
    if (end == std::string::npos) {
        return &kNotFound;
    }
    auto found = m_scripts.find(request.substr(begin + 2, end - begin - 2));
    return found == m_scripts.end() ? &kNotFound : &found->second;
}

int ScriptedServer::connections() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_accepted;
}

bool ScriptedServer::Play(platform::SocketHandle s, const std::vector<ServerStep>& script,
                          std::string* received) {
    for (const ServerStep& step : script) {
        if (step.kind == ServerStep::Kind::Send) {
            platform::SendAll(s, step.data.data(), static_cast<int>(step.data.size()));
        } else if (step.kind == ServerStep::Kind::Pause) {
            // Paces the server's writes; the client's reaction is what the
            // test waits on, never this pause.
            m_stop.Wait(step.ms);
        } else if (step.kind == ServerStep::Kind::AwaitAhead) {
            // Until `count` more whole requests have come, within a bound.
            char buffer[4096];
            for (uint32_t waited = 0; CountRequests(*received) < step.count &&
                                      waited < kRequestTimeoutMs && !m_stop.Wait(0);
                 waited += kAcceptSliceMs) {
                int n = platform::ReceiveSome(s, buffer, sizeof buffer, kAcceptSliceMs);
                if (n == platform::kReceiveClosed || n == platform::kReceiveError) {
                    return false;
                }
                if (n > 0) {
                    received->append(buffer, static_cast<size_t>(n));
                }
            }
        } else if (step.kind == ServerStep::Kind::Stall) {
            // Silent until the client gives up on the connection.
            char buffer[4096];
            while (!m_stop.Wait(0)) {
                int n = platform::ReceiveSome(s, buffer, sizeof buffer, kAcceptSliceMs);
                if (n == platform::kReceiveClosed || n == platform::kReceiveError) {
                    return false;
                }
                if (n > 0) {
                    received->append(buffer, static_cast<size_t>(n));
                }
            }
            return false;
        } else {
            return false;
        }
    }
    return true;
}

void ScriptedServer::Serve() {
    size_t next = 0;
    while ((m_byPath || next < m_responses.size()) && !m_stop.Wait(0)) {
        // Accepts in short slices so that the destructor never waits out the bound.
        platform::SocketHandle s = platform::kInvalidSocket;
        for (uint32_t waited = 0; s == platform::kInvalidSocket && waited < kAcceptTimeoutMs;
             waited += kAcceptSliceMs) {
            if (m_stop.Wait(0)) {
                return;
            }
            s = platform::AcceptWithin(m_listener, kAcceptSliceMs);
        }
        if (s == platform::kInvalidSocket) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_accepted;
        }
        std::string received;  // may hold requests sent ahead
        char buffer[4096];
        bool first = true;
        while (m_byPath || next < m_responses.size()) {
            bool closed = false;
            bool ahead = !first && received.find("\r\n\r\n") != std::string::npos;
            first = false;
            while (received.find("\r\n\r\n") == std::string::npos &&
                   received.size() < kRequestMaxLength) {
                int n = platform::ReceiveSome(s, buffer, sizeof buffer, kRequestTimeoutMs);
                if (n <= 0) {
                    closed = true;
                    break;
                }
                received.append(buffer, static_cast<size_t>(n));
            }
            size_t end = received.find("\r\n\r\n");
            if (closed && !m_closeAfterEach) {
                break;  // the client left: the next connection gets this response
            }
            std::string request = end == std::string::npos ? received : received.substr(0, end + 4);
            received.erase(0, request.size());
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
                m_ahead += ahead ? 1 : 0;
            }
            const std::vector<ServerStep>* script = ScriptFor(request, &next);
            if (!script || !Play(s, *script, &received) || m_closeAfterEach) {
                break;
            }
            // What has come meanwhile, without waiting: requests sent ahead.
            int n = 0;
            while ((n = platform::ReceiveSome(s, buffer, sizeof buffer, 0)) > 0) {
                received.append(buffer, static_cast<size_t>(n));
            }
        }
        platform::CloseSocket(s);
    }
}

}  // namespace testsupport
