#include "support/scripted_server.h"

#include <gtest/gtest.h>

namespace testsupport {

namespace {

constexpr uint32_t kAcceptTimeoutMs = 20000;
constexpr uint32_t kAcceptSliceMs = 50;
constexpr uint32_t kRequestTimeoutMs = 10000;
constexpr size_t kRequestMaxLength = 65536;

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
    : m_script(std::move(script)) {
    platform::StartSockets();
    m_stop.Create();
    m_listener = platform::ListenLoopback(&m_port);
    EXPECT_NE(m_listener, platform::kInvalidSocket) << "cannot listen on 127.0.0.1";
    m_thread = std::thread([this, connections] { Serve(connections); });
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

void ScriptedServer::Serve(int connections) {
    for (int c = 0; c < connections && !m_stop.Wait(0); ++c) {
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
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos &&
               request.size() < kRequestMaxLength) {
            int n = platform::ReceiveSome(s, buffer, sizeof buffer, kRequestTimeoutMs);
            if (n <= 0) {
                break;
            }
            request.append(buffer, static_cast<size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        for (const ServerStep& step : m_script) {
            if (step.kind == ServerStep::Kind::Send) {
                platform::SendAll(s, step.data.data(), static_cast<int>(step.data.size()));
            } else if (step.kind == ServerStep::Kind::Pause) {
                // Paces the server's writes; the client's reaction is what the
                // test waits on, never this pause.
                m_stop.Wait(step.ms);
            } else if (step.kind == ServerStep::Kind::Stall) {
                m_stop.Wait();
            } else {
                break;
            }
        }
        platform::CloseSocket(s);
    }
}

}  // namespace testsupport
