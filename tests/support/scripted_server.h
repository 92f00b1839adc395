// An HTTP server on 127.0.0.1 that answers each connection with a script: the
// misbehaving servers no real one can play (stalls, early closes, odd
// headers). It records every request it reads.
#pragma once

#include "platform/socket.h"
#include "platform/thread.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct ServerStep {
    enum class Kind { Send, Pause, Stall, Close, AwaitAhead };
    Kind kind;
    std::string data;  // Send
    uint32_t ms = 0;   // Pause
    size_t count = 0;  // AwaitAhead
};

inline ServerStep Send(std::string data) { return {ServerStep::Kind::Send, std::move(data), 0}; }
// Sends `data` a few bytes at a time, pausing between writes, so that the
// client receives it in many small blocks.
std::vector<ServerStep> Trickle(const std::string& data, size_t piece, uint32_t pauseMs);
inline ServerStep Pause(uint32_t ms) { return {ServerStep::Kind::Pause, {}, ms}; }
// Holds the connection open, silent, until the client closes it or the
// server is destroyed.
inline ServerStep Stall() { return {ServerStep::Kind::Stall, {}, 0}; }
inline ServerStep Close() { return {ServerStep::Kind::Close, {}, 0}; }
// Waits (bounded) until `count` more whole requests have arrived: only a
// client that sends requests ahead gets past it at once.
inline ServerStep AwaitAhead(size_t count) { return {ServerStep::Kind::AwaitAhead, {}, 0, count}; }

// "HTTP/1.1 200 OK" with a Content-Length header and `body`.
std::string OkResponse(const std::string& body);

class ScriptedServer {
public:
    // Serves up to `connections` connections in turn, each with the script,
    // closing each after it.
    explicit ScriptedServer(std::vector<ServerStep> script, int connections = 1);
    // Answers the requests in turn with `responses`, keeping a connection
    // for the next request until a response's script closes it (or the
    // client does); requests sent ahead are read in order.
    struct KeepAlive {};
    ScriptedServer(KeepAlive, std::vector<std::vector<ServerStep>> responses);
    // Answers each request with the script of its path (without the leading
    // "/"; 404 for any other), for as many requests and connections as come.
    struct ByPath {};
    ScriptedServer(ByPath, std::map<std::string, std::vector<ServerStep>> scripts);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t port() const { return m_port; }
    // Connections accepted so far.
    int connections();
    // Requests that had arrived whole before the answer to the one before
    // them was written: sent ahead by the client.
    int requestsSentAhead();
    // The requests read so far, each up to its empty line.
    std::vector<std::string> requests();

private:
    void Start();
    void Serve();
    // Plays one script; false when it closed the connection.
    bool Play(platform::SocketHandle s, const std::vector<ServerStep>& script,
              std::string* received);

    std::vector<std::vector<ServerStep>> m_responses;
    const std::vector<ServerStep>* ScriptFor(const std::string& request, size_t* next);

    bool m_closeAfterEach = true;
    bool m_byPath = false;
    std::map<std::string, std::vector<ServerStep>> m_scripts;
    int m_accepted = 0;
    int m_ahead = 0;
    platform::SocketHandle m_listener = platform::kInvalidSocket;
    uint16_t m_port = 0;
    platform::Event m_stop;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

}  // namespace testsupport
