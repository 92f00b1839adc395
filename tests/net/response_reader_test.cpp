// The response state machine on canned bytes: the same cases the scripted
// server plays over a socket, cut into blocks at chosen places.
#include "net/receive_loop.h"
#include "net/response_reader.h"

#include <gtest/gtest.h>

#include <deque>
#include <ostream>
#include <string>
#include <vector>

namespace {

using State = CResponseReader::State;

class MemorySink : public IBodySink {
public:
    bool Open() override {
        ++opened;
        return !failOpen;
    }
    bool Write(const char* data, size_t size) override {
        bytes.append(data, size);
        return !failWrite;
    }
    bool Close() override {
        ++closed;
        return true;
    }
    std::string bytes;
    int opened = 0;
    int closed = 0;
    bool failOpen = false;
    bool failWrite = false;
};

class RecordingObserver : public IResponseObserver {
public:
    void OnLength(int total) override { events.push_back("length " + std::to_string(total)); }
    void OnProgress(long long stored) override {
        events.push_back("progress " + std::to_string(stored));
    }
    std::vector<std::string> events;
};

// Canned blocks; a block of its own marks the close, running dry a time-out.
constexpr char kClose[] = "<close>";

class CannedSource : public IByteSource {
public:
    explicit CannedSource(std::vector<std::string> blocks)
        : m_blocks(blocks.begin(), blocks.end()) {}
    int Receive(char* buffer, int size, uint32_t) override {
        if (m_blocks.empty()) {
            return platform::kReceiveTimedOut;
        }
        std::string& front = m_blocks.front();
        if (front == kClose) {
            return platform::kReceiveClosed;
        }
        int n = static_cast<int>(front.size()) < size ? static_cast<int>(front.size()) : size;
        front.copy(buffer, static_cast<size_t>(n));
        front.erase(0, static_cast<size_t>(n));
        if (front.empty()) {
            m_blocks.pop_front();
        }
        return n;
    }

private:
    std::deque<std::string> m_blocks;
};

std::string Header(const std::string& statusAndFields) { return statusAndFields + "\r\n\r\n"; }

struct ReaderCase {
    const char* name;
    std::vector<std::string> blocks;
    State state;
    DownloadFailure failure;
    std::string body;                 // what reached the sink
    std::vector<std::string> events;  // length and progress
    bool reusable;
    size_t leftOver = 0;  // bytes of the last block that belong to the next response
    uint64_t bodyLimit = kNoBodyLimit;
};

std::ostream& operator<<(std::ostream& os, const ReaderCase& c) { return os << c.name; }

const std::string kOk5 = Header("HTTP/1.1 200 OK\r\nContent-Length: 5");

// clang-format off
std::vector<ReaderCase> Cases() {
    using F = DownloadFailure;
    return {
        {"WholeInOneBlock", {kOk5 + "hello"}, State::Done, F::None, "hello", {"length 5"}, true},
        {"BodyInBlocks", {kOk5 + "he", "l", "lo"}, State::Done, F::None, "hello",
         {"length 5", "progress 3", "progress 5"}, true},
        {"HeaderSplitAcrossBlocks", {"HTTP/1.1 200 OK\r\nContent-Le", "ngth: 5\r\n", "\r\nhel", "lo"},
         State::Done, F::None, "hello", {"length 5", "progress 5"}, true},
        {"HeaderEndsAtTheBlockEnd", {kOk5, "hello"}, State::Done, F::None, "hello",
         {"length 5", "progress 5"}, true},
        {"LongHeader", {Header("HTTP/1.1 200 OK\r\nX-Pad: " + std::string(6000, 'p') + "\r\nContent-Length: 4"), "data"},
         State::Done, F::None, "data", {"length 4", "progress 4"}, true},
        {"BytesBeyondTheLengthAreLeft", {kOk5 + "helloEXTRA"}, State::Done, F::None, "hello", {"length 5"}, true, 5},
        {"NextResponseInTheSameBlock", {kOk5 + "hello" + kOk5 + "world"}, State::Done, F::None, "hello",
         {"length 5"}, true, kOk5.size() + 5},
        {"ZeroLength", {Header("HTTP/1.1 200 OK\r\nContent-Length: 0")}, State::Done, F::None, "", {"length 0"}, true},
        {"UntilCloseWhenTheServerSaysSo", {Header("HTTP/1.1 200 OK\r\nConnection: close") + "ab", "cd", kClose},
         State::Done, F::None, "abcd", {"length 0", "progress 4"}, false},
        {"Http10UntilClose", {Header("HTTP/1.0 200 OK") + "old", kClose}, State::Done, F::None, "old", {"length 0"}, false},
        {"Http10WithLengthIsNotKept", {Header("HTTP/1.0 200 OK\r\nContent-Length: 2") + "ok"}, State::Done, F::None,
         "ok", {"length 2"}, false},
        {"CloseSaidWithLengthIsNotKept", {Header("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2") + "ok"},
         State::Done, F::None, "ok", {"length 2"}, false},
        {"NotFoundBodyIsReadToItsEnd", {Header("HTTP/1.1 404 Not Found\r\nContent-Length: 9") + "not ", "found"},
         State::Failed, F::Status, "", {}, true},
        {"NotFoundFollowedByTheNext", {Header("HTTP/1.1 404 Not Found\r\nContent-Length: 2") + "no" + kOk5},
         State::Failed, F::Status, "", {}, true, kOk5.size()},
        {"ServerErrorWithoutBody", {Header("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0")},
         State::Failed, F::Status, "", {}, true},
        {"RedirectWithoutLengthClosesTheConnection", {Header("HTTP/1.1 302 Found\r\nLocation: /x")},
         State::Failed, F::Status, "", {}, false},
        {"ErrorBodyCutByClose", {Header("HTTP/1.1 404 Not Found\r\nContent-Length: 9") + "no", kClose},
         State::Failed, F::Status, "", {}, false},
        {"HugeErrorBodyClosesTheConnection", {Header("HTTP/1.1 404 Not Found\r\nContent-Length: 9999999")},
         State::Failed, F::Status, "", {}, false},
        {"OkTextOutsideTheStatusLine", {Header("HTTP/1.1 403 Forbidden\r\nX-Why: 200 OK\r\nContent-Length: 2") + "no"},
         State::Failed, F::Status, "", {}, true},
        {"ClosedBeforeAnyByte", {kClose}, State::Failed, F::Reset, "", {}, false},
        {"ClosedInTheHeader", {"HTTP/1.1 200 OK\r\nContent-Len", kClose}, State::Failed, F::Reset, "", {}, false},
        {"ClosedMidBody", {Header("HTTP/1.1 200 OK\r\nContent-Length: 10") + "12345", kClose}, State::Failed,
         F::Reset, "12345", {"length 10"}, false},
        {"StalledMidBody", {Header("HTTP/1.1 200 OK\r\nContent-Length: 10") + "12345"}, State::Failed,
         F::TimedOut, "12345", {"length 10"}, false},
        {"KeepAliveWithoutLength", {Header("HTTP/1.1 200 OK") + "body"}, State::Failed, F::Length, "", {}, false},
        {"Chunked", {Header("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked") + "4\r\nbody\r\n0\r\n\r\n"},
         State::Failed, F::Length, "", {}, false},
        {"Gzipped", {Header("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 3") + "abc"},
         State::Failed, F::Length, "", {}, false},
        {"NegativeLength", {Header("HTTP/1.1 200 OK\r\nContent-Length: -5") + "abc"}, State::Failed, F::Length, "", {}, false},
        {"LengthAbove32Bits", {Header("HTTP/1.1 200 OK\r\nContent-Length: 4294967301") + "abc"}, State::Failed,
         F::Length, "", {}, false},
        {"UnparsableLength", {Header("HTTP/1.1 200 OK\r\nContent-Length: 12abc") + "abc"}, State::Failed,
         F::Length, "", {}, false},
        {"HeaderWithoutEnd", {"HTTP/1.1 200 OK\r\nX-Pad: " + std::string(kHeaderMaxLength, 'p')}, State::Failed,
         F::Status, "", {}, false},
        {"NotHttpFailsAtOnce", {"SSH-2.0-OpenSSH_9.2\r\n"}, State::Failed, F::Status, "", {}, false},
        {"NotHttpInTheFirstByte", {"<"}, State::Failed, F::Status, "", {}, false},
        {"LengthOverTheBound", {Header("HTTP/1.1 200 OK\r\nContent-Length: 11") + "0123456789a"}, State::Failed,
         F::Bound, "", {}, false, 0, 10},
        {"LengthAtTheBound", {Header("HTTP/1.1 200 OK\r\nContent-Length: 10") + "0123456789"}, State::Done,
         F::None, "0123456789", {"length 10"}, true, 0, 10},
        {"EndlessBodyCutAtTheBound", {Header("HTTP/1.0 200 OK") + "0123", "456789", "abc"}, State::Failed,
         F::Bound, "0123456789", {"length 0", "progress 10"}, false, 0, 10},
    };
}
// clang-format on

class ResponseReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ResponseReaderTest, EndsAsTheBytesSay) {
    const ReaderCase& c = GetParam();
    MemorySink sink;
    RecordingObserver observer;
    CResponseReader reader(sink, observer, c.bodyLimit);
    CannedSource source(c.blocks);
    CReceiveBuffer buffer(102400);
    ReceiveResponse(source, buffer, reader, ReceivePacing{1000, 0, 0});
    EXPECT_EQ(reader.state(), c.state);
    EXPECT_EQ(reader.failure(), c.failure);
    EXPECT_EQ(sink.bytes, c.body);
    EXPECT_EQ(observer.events, c.events);
    EXPECT_EQ(reader.connectionReusable(), c.reusable);
    if (c.reusable) {
        EXPECT_EQ(buffer.pendingSize(), c.leftOver) << "the rest belongs to the next response";
    }
    EXPECT_EQ(sink.closed, sink.opened) << "an opened sink is closed at the end";
}

INSTANTIATE_TEST_SUITE_P(Cases, ResponseReaderTest, ::testing::ValuesIn(Cases()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ResponseReaderTest, SinkThatCannotOpenOrWriteFails) {
    for (bool failOpen : {true, false}) {
        MemorySink sink;
        sink.failOpen = failOpen;
        sink.failWrite = !failOpen;
        RecordingObserver observer;
        CResponseReader reader(sink, observer);
        reader.Feed(kOk5.data(), kOk5.size());
        reader.Feed("hello", 5);
        EXPECT_EQ(reader.state(), State::Failed);
        EXPECT_EQ(reader.failure(), DownloadFailure::Write);
        EXPECT_FALSE(reader.connectionReusable());
    }
}

TEST(ResponseReaderTest, EveryCutOfAResponseGivesTheSameBody) {
    std::string response = kOk5 + "hello";
    for (size_t cut = 1; cut < response.size(); ++cut) {
        MemorySink sink;
        RecordingObserver observer;
        CResponseReader reader(sink, observer);
        size_t first = reader.Feed(response.data(), cut);
        size_t second = reader.Feed(response.data() + cut, response.size() - cut);
        EXPECT_EQ(first + second, response.size()) << cut;
        EXPECT_EQ(reader.state(), State::Done) << cut;
        EXPECT_EQ(sink.bytes, "hello") << cut;
        EXPECT_TRUE(reader.begun());
    }
}

TEST(ResponseReaderTest, NothingIsTakenAfterTheEnd) {
    MemorySink sink;
    RecordingObserver observer;
    CResponseReader reader(sink, observer);
    EXPECT_FALSE(reader.begun());
    reader.Feed(kOk5.data(), kOk5.size());
    reader.Feed("hello", 5);
    EXPECT_EQ(reader.Feed("more", 4), 0u);
    reader.FeedClose();
    EXPECT_EQ(reader.state(), State::Done);
}

}  // namespace
