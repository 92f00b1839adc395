#include "net/response_reader.h"

#include <climits>
#include <cstring>

namespace {

constexpr char kStatusPrefix[] = "HTTP/1.";
constexpr size_t kStatusPrefixLength = sizeof kStatusPrefix - 1;

}  // namespace

CResponseReader::CResponseReader(IBodySink& sink, IResponseObserver& observer, uint64_t bodyLimit)
    : m_sink(sink), m_observer(observer), m_bodyLimit(bodyLimit) {}

size_t CResponseReader::Feed(const char* data, size_t size) {
    if (size == 0 || ended()) {
        return 0;
    }
    m_begun = true;
    switch (m_state) {
        case State::Header: return FeedHeader(data, size);
        case State::Body: return FeedBody(data, size, false);
        case State::ErrorBody: return FeedErrorBody(size);
        default: return 0;
    }
}

void CResponseReader::FeedClose() {
    if (m_state == State::Body && m_untilClose) {
        Finish();
    } else if (m_state == State::ErrorBody) {
        Fail(DownloadFailure::Status);
    } else if (!ended()) {
        Fail(DownloadFailure::Reset);
    }
}

void CResponseReader::FeedFailure(DownloadFailure failure) {
    if (!ended()) {
        Fail(failure);
    }
}

size_t CResponseReader::FeedHeader(const char* data, size_t size) {
    size_t before = m_headerFilled;
    size_t room = sizeof m_header - before;
    size_t taken = size < room ? size : room;
    memcpy(m_header + before, data, taken);
    m_headerFilled += taken;

    // Anything but an HTTP/1.x response fails as soon as it shows.
    size_t prefix = m_headerFilled < kStatusPrefixLength ? m_headerFilled : kStatusPrefixLength;
    if (memcmp(m_header, kStatusPrefix, prefix) != 0) {
        Fail(DownloadFailure::Status);
        return taken;
    }
    ResponseHeader header;
    if (!AnalyseResponseHeader(m_header, m_headerFilled, &header)) {
        if (m_headerFilled >= sizeof m_header) {
            Fail(DownloadFailure::Status);
        }
        return taken;
    }
    // The header's end lies in the new bytes: it was not in the earlier ones.
    size_t used = static_cast<size_t>(header.headerLength) - before;
    const char* rest = data + used;
    size_t restSize = size - used;
    m_keepsConnection = !header.connectionClose && !header.http10;
    bool lengthKnown = header.length == ResponseHeader::Length::Valid && !header.transferCoded;

    if (header.statusCode != 200) {
        if (header.statusCode != 0 && lengthKnown && m_keepsConnection &&
            header.contentLength <= kErrorBodyReadMax) {
            m_failure = DownloadFailure::Status;
            m_state = State::ErrorBody;
            m_errorBodyLeft = header.contentLength;
            if (m_errorBodyLeft == 0) {
                Fail(DownloadFailure::Status, true);
                return used;
            }
            return used + FeedErrorBody(restSize);
        }
        Fail(DownloadFailure::Status);
        return used;
    }
    // Only a plain body can be stored as it comes: nothing else reaches the sink.
    if (header.transferCoded || header.contentCoded ||
        header.length == ResponseHeader::Length::Invalid) {
        Fail(DownloadFailure::Length);
        return used;
    }
    m_untilClose = header.length == ResponseHeader::Length::Absent;
    if (m_untilClose && m_keepsConnection) {
        // A kept-alive connection without a length has no end to wait for.
        Fail(DownloadFailure::Length);
        return used;
    }
    if (!m_untilClose && static_cast<uint64_t>(header.contentLength) > m_bodyLimit) {
        Fail(DownloadFailure::Bound);
        return used;
    }
    m_total = m_untilClose ? 0 : header.contentLength;
    m_observer.OnLength(m_total);
    if (!m_sink.Open()) {
        Fail(DownloadFailure::Write);
        return used;
    }
    m_sinkOpen = true;
    m_state = State::Body;
    return used + FeedBody(rest, restSize, true);
}

size_t CResponseReader::FeedBody(const char* data, size_t size, bool firstBlock) {
    long long n = static_cast<long long>(size);
    bool overBound = false;
    if (!m_untilClose) {
        // Bytes past the announced length are not part of this body.
        if (n > m_total - m_stored) {
            n = m_total - m_stored;
        }
    } else {
        // A body without a length is cut off at the bound, and at what a
        // notification can carry.
        uint64_t limit = m_bodyLimit < static_cast<uint64_t>(INT_MAX) ? m_bodyLimit : INT_MAX;
        if (static_cast<uint64_t>(m_stored + n) > limit) {
            n = static_cast<long long>(limit) - m_stored;
            overBound = true;
        }
    }
    if (n > 0 && !m_sink.Write(data, static_cast<size_t>(n))) {
        Fail(DownloadFailure::Write);
        return static_cast<size_t>(n);
    }
    m_stored += n;
    if (overBound) {
        Fail(DownloadFailure::Bound);
        return static_cast<size_t>(n);
    }
    bool whole = !m_untilClose && m_stored == m_total;
    if (!firstBlock) {
        m_observer.OnProgress(m_stored);
    }
    if (whole) {
        Finish();
    }
    return static_cast<size_t>(n);
}

size_t CResponseReader::FeedErrorBody(size_t size) {
    long long n = static_cast<long long>(size);
    if (n > m_errorBodyLeft) {
        n = m_errorBodyLeft;
    }
    m_errorBodyLeft -= n;
    if (m_errorBodyLeft == 0) {
        Fail(DownloadFailure::Status, true);
    }
    return static_cast<size_t>(n);
}

void CResponseReader::Fail(DownloadFailure failure, bool reusable) {
    if (m_sinkOpen) {
        m_sinkOpen = false;
        m_sink.Close();  // what arrived stays
    }
    m_state = State::Failed;
    m_failure = failure;
    m_reusable = reusable;
}

void CResponseReader::Finish() {
    m_sinkOpen = false;
    if (!m_sink.Close()) {
        m_state = State::Failed;
        m_failure = DownloadFailure::Write;
        m_reusable = false;
        return;
    }
    m_state = State::Done;
    m_reusable = m_keepsConnection && !m_untilClose;
}
