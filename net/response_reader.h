// One HTTP response as a state machine over the bytes of a connection: the
// header up to kHeaderMaxLength, then a 200 body into a sink. No I/O of its
// own, so it runs on a socket, on canned bytes and under the fuzzer alike.
#pragma once

#include "net/body_sink.h"
#include "net/download_failure.h"
#include "net/response_header.h"

#include <cstddef>
#include <cstdint>

// Error responses' bodies up to this length are read to their end, so the
// connection can carry the next request; a longer one closes it.
constexpr int kErrorBodyReadMax = 65536;
constexpr uint64_t kNoBodyLimit = UINT64_MAX;

class CResponseReader {
public:
    enum class State {
        Header,     // waiting for the header's end
        Body,       // storing a 200 body
        ErrorBody,  // reading past a refused response's body, to keep the connection
        Done,       // the whole body is stored
        Failed,     // see failure()
    };

    CResponseReader(IBodySink& sink, IResponseObserver& observer,
                    uint64_t bodyLimit = kNoBodyLimit);

    // Takes the next bytes of the connection; returns how many belong to this
    // response (the rest belong to the next one). Nothing is taken once the
    // state is Done or Failed.
    size_t Feed(const char* data, size_t size);
    // The connection has closed: ends a body that runs until the close, fails
    // anything else still open.
    void FeedClose();
    // The bytes stopped for another reason (a time-out, a broken receive, too
    // slow): fails what is still open with `failure`.
    void FeedFailure(DownloadFailure failure);

    State state() const { return m_state; }
    bool ended() const { return m_state == State::Done || m_state == State::Failed; }
    DownloadFailure failure() const { return m_failure; }
    // Whether any byte of this response has arrived.
    bool begun() const { return m_begun; }
    // After the end: the connection may carry another request (a response
    // with a length, no "close", HTTP/1.1, read exactly to its end).
    bool connectionReusable() const { return m_reusable; }
    // The server said it keeps the connection (HTTP/1.1 without "close").
    bool serverKeepsConnections() const { return m_keepsConnection; }
    long long stored() const { return m_stored; }

private:
    size_t FeedHeader(const char* data, size_t size);
    size_t FeedBody(const char* data, size_t size, bool firstBlock);
    size_t FeedErrorBody(size_t size);  // skipped, never stored
    void Fail(DownloadFailure failure, bool reusable = false);
    void Finish();

    IBodySink& m_sink;
    IResponseObserver& m_observer;
    uint64_t m_bodyLimit;
    State m_state = State::Header;
    DownloadFailure m_failure = DownloadFailure::None;
    bool m_begun = false;
    bool m_reusable = false;
    bool m_keepsConnection = false;
    bool m_untilClose = false;
    bool m_sinkOpen = false;
    int m_total = 0;
    long long m_stored = 0;
    long long m_errorBodyLeft = 0;
    size_t m_headerFilled = 0;
    char m_header[kHeaderMaxLength];
};
