#include "net/http_downloader.h"

#include "net/response_header.h"
#include "platform/fs.h"
#include "platform/notification_receiver.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using testsupport::Close;
using testsupport::OkResponse;
using testsupport::Pause;
using testsupport::Send;
using testsupport::ServerStep;
using testsupport::Stall;

constexpr uint32_t kEndWaitMs = 20000;
constexpr testsupport::ScriptedServer::KeepAlive kKeepAlive;

std::string Header(const std::string& statusAndFields) { return statusAndFields + "\r\n\r\n"; }

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) {
        c = static_cast<char>(gen() & 0xFF);
    }
    return s;
}

std::vector<ServerStep> Steps(std::initializer_list<std::vector<ServerStep>> parts) {
    std::vector<ServerStep> all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

struct Outcome {
    bool result = false;
    DownloadFailure failure = DownloadFailure::None;
    std::vector<platform::Notification> events;
    std::vector<std::string> requests;
};

class DownloaderTest : public ::testing::Test {
protected:
    // Runs one download of "V/codelist.txt.zip" against a scripted server.
    Outcome Run(std::vector<ServerStep> script, uint32_t receiveTimeoutMs = kReceiveTimeoutMs,
                const std::string& local = "") {
        testsupport::ScriptedServer server(std::move(script));
        CHttpDownloader client;
        client.SetTimeouts(kConnectTimeoutMs, receiveTimeoutMs);
        EXPECT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
        Outcome out;
        out.result =
            client.DownloadFile((local.empty() ? Target() : local).c_str(), "V/codelist.txt.zip");
        out.failure = client.LastFailure();
        out.events = CollectEnd();
        out.requests = server.requests();
        return out;
    }

    std::vector<platform::Notification> CollectEnd() {
        auto events = m_sink.CollectUntil(
            [](const platform::Notification& n) {
                return n.wParam == DOWNLOAD_DONE || n.wParam == DOWNLOAD_FAILED;
            },
            kEndWaitMs);
        for (const auto& n : events) {
            EXPECT_EQ(n.message, WM_DOWNLOAD_EVENT);
        }
        return events;
    }

    std::string Target() const { return m_dir / "lksupdate\\V\\codelist.txt.zip"; }

    platform::NotificationReceiver m_sink;
    testsupport::TempDir m_dir;
};

std::vector<uintptr_t> Codes(const Outcome& o) {
    std::vector<uintptr_t> codes;
    for (const auto& n : o.events) {
        codes.push_back(n.wParam);
    }
    return codes;
}

// Successful downloads: CONNECTED, LENGTH(total), PROGRESS rising to the
// stored size, DONE; the file holds exactly the body.
void ExpectSuccess(const Outcome& o, const std::string& path, const std::string& body, int length) {
    ASSERT_TRUE(o.result);
    ASSERT_GE(o.events.size(), 3u);
    EXPECT_EQ(o.events.front().wParam, DOWNLOAD_CONNECTED);
    EXPECT_EQ(o.events[1].wParam, DOWNLOAD_LENGTH);
    EXPECT_EQ(o.events[1].lParam, length);
    EXPECT_EQ(o.events.back().wParam, DOWNLOAD_DONE);
    intptr_t last = -1;
    for (size_t i = 2; i + 1 < o.events.size(); ++i) {
        ASSERT_EQ(o.events[i].wParam, DOWNLOAD_PROGRESS);
        EXPECT_GT(o.events[i].lParam, last);
        last = o.events[i].lParam;
    }
    if (last >= 0) {
        EXPECT_EQ(last, static_cast<intptr_t>(body.size()));
    }
    EXPECT_EQ(testsupport::ReadFileBytes(path), body);
}

void ExpectFailure(const Outcome& o) {
    EXPECT_FALSE(o.result);
    ASSERT_FALSE(o.events.empty());
    EXPECT_EQ(o.events.back().wParam, DOWNLOAD_FAILED);
    for (size_t i = 0; i + 1 < o.events.size(); ++i) {
        EXPECT_NE(o.events[i].wParam, DOWNLOAD_FAILED);
        EXPECT_NE(o.events[i].wParam, DOWNLOAD_DONE);
    }
}

TEST_F(DownloaderTest, SendsTheRequestByteForByte) {
    testsupport::ScriptedServer server({Send(OkResponse("x"))});
    CHttpDownloader client;
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
    ASSERT_TRUE(client.DownloadFile(Target().c_str(), "V\\program files\\a b.dll.zip"));
    CollectEnd();
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(
        server.requests()[0],
        "GET /V\\program%20files\\a%20b.dll.zip HTTP/1.1\r\n"
        "Accept: */*\r\n"
        "Accept-Language: zh-cn\r\n"
        "Accept-Encoding: gzip, deflate\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)\r\n"
        "Host: 127.0.0.1\r\n"
        "Connection: Keep-Alive\r\n"
        "\r\n");
}

TEST_F(DownloaderTest, WholeResponseInOneBlock) {
    Outcome o = Run({Send(OkResponse("hello"))});
    ExpectSuccess(o, Target(), "hello", 5);
    EXPECT_EQ(Codes(o),
              (std::vector<uintptr_t>{DOWNLOAD_CONNECTED, DOWNLOAD_LENGTH, DOWNLOAD_DONE}));
}

TEST_F(DownloaderTest, FoldersOfTheLocalPathAreCreated) {
    Outcome o = Run({Send(OkResponse("x"))});
    ASSERT_TRUE(o.result);
    EXPECT_TRUE(testsupport::FolderExists(m_dir / "lksupdate\\V"));
}

TEST_F(DownloaderTest, ForwardSlashesInTheLocalPathLandAtTheSamePlace) {
    std::string slashed = m_dir.path() + "/a/b/file.zip";
    Outcome o = Run({Send(OkResponse("abc"))}, kReceiveTimeoutMs, slashed);
    ExpectSuccess(o, m_dir / "a\\b\\file.zip", "abc", 3);
}

TEST_F(DownloaderTest, BodyInManySmallWrites) {
    std::string body = RandomBytes(300000, 1);
    Outcome o = Run(Steps({{Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 300000"))},
                           testsupport::Trickle(body, 25000, 5)}));
    ExpectSuccess(o, Target(), body, 300000);
    EXPECT_GT(o.events.size(), 4u) << "the body should have come in several blocks";
}

TEST_F(DownloaderTest, HeaderSplitAcrossBlocks) {
    Outcome o = Run(Steps({testsupport::Trickle("HTTP/1.1 200 OK\r\nContent-Le", 7, 5),
                           {Send("ngth: 5\r\n\r\nhel"), Pause(20), Send("lo")}}));
    ExpectSuccess(o, Target(), "hello", 5);
}

TEST_F(DownloaderTest, LongHeaderBeyondTheFirstKilobyteCounts) {
    std::string header =
        "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(6000, 'p') + "\r\nContent-Length: 4";
    Outcome o = Run(Steps({testsupport::Trickle(Header(header), 1500, 5), {Send("data")}}));
    ExpectSuccess(o, Target(), "data", 4);
}

TEST_F(DownloaderTest, LargeBodyArrivesIntact) {
    std::string body = RandomBytes(3 * 1024 * 1024 + 17, 2);
    Outcome o = Run({Send(OkResponse(body))});
    ExpectSuccess(o, Target(), body, static_cast<int>(body.size()));
}

TEST_F(DownloaderTest, BytesBeyondTheLengthAreNotStored) {
    Outcome o = Run({Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 5") + "helloEXTRA")});
    ExpectSuccess(o, Target(), "hello", 5);

    std::string body = RandomBytes(150000, 3);
    o = Run({Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 150000")), Pause(20),
             Send(body + "trailing garbage")});
    ExpectSuccess(o, Target(), body, 150000);
}

TEST_F(DownloaderTest, ZeroLengthGivesAnEmptyFile) {
    Outcome o = Run({Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 0"))});
    ExpectSuccess(o, Target(), "", 0);
    EXPECT_TRUE(testsupport::FileExists(Target()));
}

TEST_F(DownloaderTest, BodyUntilCloseWhenTheServerSaysSo) {
    std::string body = RandomBytes(120000, 4);
    Outcome o = Run({Send(Header("HTTP/1.1 200 OK\r\nConnection: close")), Send(body), Close()});
    ExpectSuccess(o, Target(), body, 0);
    o = Run({Send(Header("HTTP/1.0 200 OK") + "old server"), Close()});
    ExpectSuccess(o, Target(), "old server", 0);
}

struct FailureCase {
    const char* name;
    std::vector<ServerStep> script;
    bool fileWritten;  // whether the local file may exist afterwards
    DownloadFailure failure;
};

std::ostream& operator<<(std::ostream& os, const FailureCase& c) { return os << c.name; }

// clang-format off
std::vector<FailureCase> FailureCases() {
    using F = DownloadFailure;
    return {
        {"NotFound", {Send(Header("HTTP/1.1 404 Not Found\r\nContent-Length: 9") + "not found")}, false, F::Status},
        {"ServerError", {Send(Header("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0"))}, false, F::Status},
        {"Redirect", {Send(Header("HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0"))}, false, F::Status},
        {"OkTextOutsideTheStatusLine",
         {Send(Header("HTTP/1.1 403 Forbidden\r\nX-Why: 200 OK\r\nContent-Length: 2") + "no")}, false, F::Status},
        {"ClosedBeforeAnyByte", {Close()}, false, F::Reset},
        {"ClosedInTheHeader", {Send("HTTP/1.1 200 OK\r\nContent-Len"), Close()}, false, F::Reset},
        {"ClosedMidBody", {Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 10") + "12345"), Close()}, true, F::Reset},
        {"KeepAliveWithoutLength", {Send(Header("HTTP/1.1 200 OK") + "body"), Stall()}, false, F::Length},
        {"Chunked", {Send(Header("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked") + "4\r\nbody\r\n0\r\n\r\n")}, false, F::Length},
        {"Gzipped", {Send(Header("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 3") + "abc")}, false, F::Length},
        {"NegativeLength", {Send(Header("HTTP/1.1 200 OK\r\nContent-Length: -5") + "abc")}, false, F::Length},
        {"LengthAbove32Bits", {Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 4294967301") + "abc")}, false, F::Length},
        {"UnparsableLength", {Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 12abc") + "abc")}, false, F::Length},
        {"HeaderWithoutEnd", {Send("HTTP/1.1 200 OK\r\nX-Pad: " + std::string(kHeaderMaxLength, 'p')), Stall()}, false, F::Status},
        {"NotHttp", {Send("SSH-2.0-OpenSSH_9.2\r\n\r\n"), Close()}, false, F::Status},
    };
}
// clang-format on

class DownloaderFailureTest : public DownloaderTest,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DownloaderFailureTest, FailsWithoutAFileThatLooksComplete) {
    const FailureCase& c = GetParam();
    // The time-out is long: each of these must end on its own, not by waiting.
    Outcome o = Run(c.script, 60000);
    ExpectFailure(o);
    EXPECT_EQ(o.failure, c.failure) << DownloadFailureName(o.failure);
    EXPECT_EQ(o.events.front().wParam, DOWNLOAD_CONNECTED);
    EXPECT_TRUE(testsupport::FolderExists(m_dir / "lksupdate\\V"));
    if (!c.fileWritten) {
        EXPECT_FALSE(testsupport::FileExists(Target()));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DownloaderFailureTest, ::testing::ValuesIn(FailureCases()),
                         [](const auto& p) { return std::string(p.param.name); });

// The same faults on a kept connection: the download after one gets its own
// bytes and its own events, whether the connection went on or was replaced.
TEST_P(DownloaderFailureTest, NextDownloadOnTheSameClientIsWhole) {
    const FailureCase& c = GetParam();
    std::string next = RandomBytes(70000, 9);
    // A request that got no byte on a kept connection is asked once more, on
    // a new one: there it meets the same fault.
    bool noByte = c.script.size() == 1 && c.script[0].kind == ServerStep::Kind::Close;
    std::vector<std::vector<ServerStep>> responses = {{Send(OkResponse("first"))}, c.script};
    if (noByte) {
        responses.push_back(c.script);
    }
    responses.push_back({Send(OkResponse(next))});
    testsupport::ScriptedServer server(kKeepAlive, responses);
    CHttpDownloader client;
    client.SetTimeouts(kConnectTimeoutMs, 60000);
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
    ASSERT_TRUE(client.DownloadFile((m_dir / "first.zip").c_str(), "V/first.zip"));
    CollectEnd();
    Outcome failed;
    failed.result = client.DownloadFile(Target().c_str(), "V/codelist.txt.zip");
    failed.failure = client.LastFailure();
    failed.events = CollectEnd();
    ExpectFailure(failed);
    std::vector<uintptr_t> codes = Codes(failed);
    EXPECT_EQ(codes.front(), DOWNLOAD_CONNECTED);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), DOWNLOAD_CONNECTED), 1);
    EXPECT_EQ(failed.failure, c.failure) << DownloadFailureName(failed.failure);

    Outcome o;
    o.result = client.DownloadFile((m_dir / "next.zip").c_str(), "V/next.zip");
    o.failure = client.LastFailure();
    o.events = CollectEnd();
    ExpectSuccess(o, m_dir / "next.zip", next, static_cast<int>(next.size()));
    EXPECT_EQ(o.failure, DownloadFailure::None);
    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), responses.size());
    EXPECT_EQ(requests.back().rfind("GET /V/next.zip HTTP/1.1\r\n", 0), 0u);
}

TEST_F(DownloaderTest, KeptConnectionCarriesEveryDownload) {
    std::vector<std::string> bodies = {RandomBytes(150000, 6), "", RandomBytes(10, 7)};
    std::vector<std::vector<ServerStep>> responses;
    for (const std::string& body : bodies) {
        responses.push_back({Send(OkResponse(body))});
    }
    // An error answer with a body read to its end keeps the connection too.
    responses.insert(responses.begin() + 1,
                     {Send(Header("HTTP/1.1 404 Not Found\r\nContent-Length: 9") + "not found")});
    testsupport::ScriptedServer server(kKeepAlive, responses);
    CHttpDownloader client;
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
    for (size_t i = 0; i < 4; ++i) {
        std::string local = m_dir / ("f" + std::to_string(i) + ".zip");
        Outcome o;
        o.result = client.DownloadFile(local.c_str(), "V/f.zip");
        o.events = CollectEnd();
        if (i == 1) {
            ExpectFailure(o);
            EXPECT_EQ(client.LastFailure(), DownloadFailure::Status);
            continue;
        }
        const std::string& body = bodies[i == 0 ? 0 : i - 1];
        ExpectSuccess(o, local, body, static_cast<int>(body.size()));
    }
    EXPECT_EQ(client.ConnectionCount(), 1u);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(server.requests().size(), 4u);
}

TEST_F(DownloaderTest, ConnectionClosingAnswersAreNotReused) {
    // "Connection: close" and HTTP/1.0 say the server will not take another request.
    testsupport::ScriptedServer server(
        kKeepAlive,
        {{Send(Header("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1") + "a"), Stall()},
         {Send(Header("HTTP/1.0 200 OK\r\nContent-Length: 1") + "b"), Stall()},
         {Send(OkResponse("c"))}});
    CHttpDownloader client;
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
    for (const char* body : {"a", "b", "c"}) {
        std::string local = m_dir / (std::string(body) + ".zip");
        ASSERT_TRUE(client.DownloadFile(local.c_str(), "V/x.zip"));
        CollectEnd();
        EXPECT_EQ(testsupport::ReadFileBytes(local), body);
    }
    EXPECT_EQ(client.ConnectionCount(), 3u);
    EXPECT_EQ(server.requests().size(), 3u);
}

TEST_F(DownloaderTest, BytesPastTheResponseSpoilOnlyTheirConnection) {
    testsupport::ScriptedServer server(
        kKeepAlive,
        {{Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 5") + "helloHTTP/1.1 200 OK junk")},
         {Send(OkResponse("clean"))}});
    CHttpDownloader client;
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
    ASSERT_TRUE(client.DownloadFile((m_dir / "a.zip").c_str(), "V/a.zip"));
    CollectEnd();
    ASSERT_TRUE(client.DownloadFile((m_dir / "b.zip").c_str(), "V/b.zip"));
    CollectEnd();
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir / "a.zip"), "hello");
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir / "b.zip"), "clean");
    EXPECT_EQ(client.ConnectionCount(), 2u);
}

TEST_F(DownloaderTest, BodyLargerThanTheBoundFails) {
    struct BoundCase {
        const char* name;
        std::vector<ServerStep> script;
        std::string stored;  // what the file holds afterwards ("-": no file)
    };
    std::string endless = RandomBytes(300000, 8);
    std::vector<BoundCase> cases = {
        {"LengthOverTheBound",
         {Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 100001")), Stall()},
         "-"},
        {"EndlessBodyWithoutLength",
         Steps({{Send(Header("HTTP/1.0 200 OK"))},
                testsupport::Trickle(endless, 30000, 1),
                {Stall()}}),
         endless.substr(0, 100000)},
    };
    for (const BoundCase& c : cases) {
        testsupport::ScriptedServer server(c.script);
        CHttpDownloader client;
        client.SetTimeouts(kConnectTimeoutMs, 60000);
        ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
        client.SetBodyLimit(100000);
        Outcome o;
        o.result = client.DownloadFile(Target().c_str(), "V/codelist.txt.zip");
        o.events = CollectEnd();
        ExpectFailure(o);
        EXPECT_EQ(client.LastFailure(), DownloadFailure::Bound) << c.name;
        if (c.stored == "-") {
            EXPECT_FALSE(testsupport::FileExists(Target())) << c.name;
        } else {
            EXPECT_EQ(testsupport::ReadFileBytes(Target()), c.stored) << c.name;
        }
    }
}

TEST_F(DownloaderTest, BoundHoldsForTheNextDownloadOnly) {
    testsupport::ScriptedServer server(
        kKeepAlive, {{Send(OkResponse("0123456789"))}, {Send(OkResponse("0123456789"))}});
    CHttpDownloader client;
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
    client.SetBodyLimit(9);
    EXPECT_FALSE(client.DownloadFile(Target().c_str(), "V/a.zip"));
    CollectEnd();
    EXPECT_EQ(client.LastFailure(), DownloadFailure::Bound);
    EXPECT_TRUE(client.DownloadFile(Target().c_str(), "V/a.zip"));
    CollectEnd();
    EXPECT_EQ(testsupport::ReadFileBytes(Target()), "0123456789");
}

TEST_F(DownloaderTest, TrickleUnderTheFloorFails) {
    // 10 bytes every 50 ms, far under 1000 bytes a second; the receive
    // time-out is long, so only the floor can end it.
    std::string body = RandomBytes(100000, 10);
    testsupport::ScriptedServer server(
        Steps({{Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 100000"))},
               testsupport::Trickle(body, 10, 50)}));
    CHttpDownloader client;
    client.SetTimeouts(kConnectTimeoutMs, 60000);
    client.SetLowSpeedLimit(1000, 1);
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
    Outcome o;
    o.result = client.DownloadFile(Target().c_str(), "V/codelist.txt.zip");
    o.events = CollectEnd();
    ExpectFailure(o);
    EXPECT_EQ(client.LastFailure(), DownloadFailure::Slow)
        << DownloadFailureName(client.LastFailure());
}

TEST_F(DownloaderTest, TransferAboveTheFloorIsWhole) {
    std::string body = RandomBytes(200000, 11);
    testsupport::ScriptedServer server(
        Steps({{Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 200000"))},
               testsupport::Trickle(body, 20000, 100)}));
    CHttpDownloader client;
    client.SetLowSpeedLimit(1000, 1);
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
    Outcome o;
    o.result = client.DownloadFile(Target().c_str(), "V/codelist.txt.zip");
    o.events = CollectEnd();
    ExpectSuccess(o, Target(), body, 200000);
}

TEST_F(DownloaderTest, ClosedMidBodyKeepsWhatArrived) {
    Outcome o = Run({Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 10") + "12345"), Close()});
    ExpectFailure(o);
    EXPECT_EQ(testsupport::ReadFileBytes(Target()), "12345");
}

TEST_F(DownloaderTest, StalledServerTimesOut) {
    Outcome o =
        Run({Send(Header("HTTP/1.1 200 OK\r\nContent-Length: 10") + "12345"), Stall()}, 300);
    ExpectFailure(o);
    EXPECT_EQ(o.failure, DownloadFailure::TimedOut);
    EXPECT_EQ(Codes(o),
              (std::vector<uintptr_t>{DOWNLOAD_CONNECTED, DOWNLOAD_LENGTH, DOWNLOAD_FAILED}));
    o = Run({Stall()}, 300);
    EXPECT_EQ(Codes(o), (std::vector<uintptr_t>{DOWNLOAD_CONNECTED, DOWNLOAD_FAILED}));
}

TEST_F(DownloaderTest, LocalFileThatCannotBeWrittenFails) {
    // The target is an existing folder.
    ASSERT_TRUE(platform::CreateDir((m_dir / "lksupdate").c_str()));
    ASSERT_TRUE(platform::CreateDir((m_dir / "lksupdate\\V").c_str()));
    ASSERT_TRUE(platform::CreateDir(Target().c_str()));
    Outcome o = Run({Send(OkResponse("hello"))});
    ExpectFailure(o);
    EXPECT_EQ(o.failure, DownloadFailure::Write);
}

TEST_F(DownloaderTest, RefusedConnectionPostsOnlyFailure) {
    uint16_t port = 0;
    platform::StartSockets();
    platform::SocketHandle s = platform::ListenLoopback(&port);
    ASSERT_NE(s, platform::kInvalidSocket);
    platform::CloseSocket(s);  // nothing listens there now
    CHttpDownloader client;
    ASSERT_TRUE(client.Init("127.0.0.1", port, m_sink.target()));
    EXPECT_FALSE(client.DownloadFile(Target().c_str(), "V/codelist.txt.zip"));
    Outcome o;
    o.events = CollectEnd();
    EXPECT_EQ(Codes(o), (std::vector<uintptr_t>{DOWNLOAD_FAILED}));
    EXPECT_EQ(client.LastFailure(), DownloadFailure::Refused);
    EXPECT_FALSE(testsupport::FileExists(Target()));
    platform::StopSockets();
}

TEST_F(DownloaderTest, FailedInitLeavesNoEarlierAddress) {
    testsupport::ScriptedServer server({Send(OkResponse("x"))});
    CHttpDownloader client;
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
    EXPECT_FALSE(client.Init("no-such-host.invalid", 80, m_sink.target()));
    EXPECT_FALSE(client.DownloadFile(Target().c_str(), "V/codelist.txt.zip"));
    Outcome o;
    o.events = CollectEnd();
    EXPECT_EQ(Codes(o), (std::vector<uintptr_t>{DOWNLOAD_FAILED}));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(DownloaderTest, TextsThatDoNotFitAreRefusedBeforeSending) {
    testsupport::ScriptedServer server({Send(OkResponse("x"))});
    CHttpDownloader client;
    EXPECT_FALSE(client.Init(std::string(100, 'h').c_str(), server.port(), m_sink.target()));
    ASSERT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));

    std::string longLocal = m_dir.path() + "\\" + std::string(255 - m_dir.path().size(), 'x');
    ASSERT_EQ(longLocal.size(), 256u);
    EXPECT_FALSE(client.DownloadFile(longLocal.c_str(), "V/a.zip"));
    EXPECT_FALSE(client.DownloadFile(Target().c_str(), std::string(900, 'p').c_str()));
    // Spaces that grow past the buffer once escaped.
    EXPECT_FALSE(client.DownloadFile(Target().c_str(), std::string(300, ' ').c_str()));
    EXPECT_FALSE(testsupport::FolderExists(m_dir / "lksupdate"));

    // Nothing reached the server: the next download is its first request.
    EXPECT_TRUE(client.DownloadFile(Target().c_str(), "V/a.zip"));
    CollectEnd();
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].rfind("GET /V/a.zip HTTP/1.1\r\n", 0), 0u);
}

TEST_F(DownloaderTest, ClientServesOneDownloadAfterAnother) {
    std::string first = RandomBytes(250000, 5);
    testsupport::ScriptedServer server({Send(OkResponse(first))}, 2);
    ASSERT_TRUE(g_downloader.Init("127.0.0.1", server.port(), m_sink.target()));
    ASSERT_TRUE(g_downloader.DownloadFile((m_dir / "one.zip").c_str(), "V/one.zip"));
    CollectEnd();
    ASSERT_TRUE(g_downloader.DownloadFile((m_dir / "two.zip").c_str(), "V/two.zip"));
    CollectEnd();
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir / "one.zip"), first);
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir / "two.zip"), first);
    // The server closed after each answer: the second went on a new connection, asked once.
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.connections(), 2);
}

}  // namespace

namespace {

constexpr testsupport::ScriptedServer::ByPath kByPath;

using Plan = std::vector<std::pair<std::string, std::string>>;

std::string ServerPathOf(size_t i) { return "V\\f" + std::to_string(i) + ".zip"; }

class PipelineTest : public DownloaderTest {
protected:
    // The list first, as the worker fetches it (it shows the server keeps
    // connections), then the plan and its downloads in order.
    std::vector<Outcome> RunPlan(testsupport::ScriptedServer& server, CHttpDownloader& client,
                                 size_t count) {
        EXPECT_TRUE(client.Init("127.0.0.1", server.port(), m_sink.target()));
        EXPECT_TRUE(client.DownloadFile(Target().c_str(), "V/codelist.txt.zip"));
        CollectEnd();
        Plan plan;
        for (size_t i = 0; i < count; ++i) {
            plan.emplace_back(Local(i), ServerPathOf(i));
        }
        client.PlanDownloads(plan);
        std::vector<Outcome> outcomes;
        for (const auto& [local, serverPath] : plan) {
            Outcome o;
            o.result = client.DownloadFile(local.c_str(), serverPath.c_str());
            o.failure = client.LastFailure();
            o.events = CollectEnd();
            outcomes.push_back(o);
        }
        return outcomes;
    }

    std::string Local(size_t i) const { return m_dir / ("f" + std::to_string(i) + ".zip"); }

    static size_t TimesRequested(const std::vector<std::string>& requests,
                                 const std::string& path) {
        return static_cast<size_t>(
            std::count_if(requests.begin(), requests.end(), [&](const std::string& r) {
                return r.rfind("GET /" + path + " HTTP/1.1\r\n", 0) == 0;
            }));
    }
};

TEST_F(PipelineTest, RequestsGoAheadAndEveryDownloadKeepsItsBytesAndEvents) {
    const size_t kCount = 20;
    std::map<std::string, std::vector<ServerStep>> scripts = {
        {"V/codelist.txt.zip", {Send(OkResponse("list"))}}};
    std::vector<std::string> bodies;
    for (size_t i = 0; i < kCount; ++i) {
        bodies.push_back(RandomBytes(i % 5 == 0 ? 0 : (i % 3 == 0 ? 150000 : 100 * i),
                                     static_cast<unsigned>(20 + i)));
        scripts[ServerPathOf(i)] = {Send(OkResponse(bodies.back()))};
    }
    // The first answer waits for the requests that follow it.
    scripts[ServerPathOf(0)].insert(scripts[ServerPathOf(0)].begin(),
                                    testsupport::AwaitAhead(kPipelineDepth));
    testsupport::ScriptedServer server(kByPath, scripts);
    CHttpDownloader client;
    std::vector<Outcome> outcomes = RunPlan(server, client, kCount);
    for (size_t i = 0; i < kCount; ++i) {
        ExpectSuccess(outcomes[i], Local(i), bodies[i], static_cast<int>(bodies[i].size()));
    }
    EXPECT_EQ(client.ConnectionCount(), 1u);
    EXPECT_GE(server.requestsSentAhead(), static_cast<int>(kPipelineDepth));
    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), kCount + 1);
    for (size_t i = 0; i < kCount; ++i) {
        EXPECT_EQ(requests[i + 1].rfind("GET /" + ServerPathOf(i) + " HTTP/1.1\r\n", 0), 0u)
            << "in the plan's order";
    }
}

TEST_F(PipelineTest, ServerThatClosesAfterEveryAnswerStillGivesEveryFile) {
    const size_t kCount = 6;
    std::map<std::string, std::vector<ServerStep>> scripts = {
        {"V/codelist.txt.zip", {Send(OkResponse("list"))}}};
    for (size_t i = 0; i < kCount; ++i) {
        scripts[ServerPathOf(i)] = {Send(OkResponse("body " + std::to_string(i))), Close()};
    }
    testsupport::ScriptedServer server(kByPath, scripts);
    CHttpDownloader client;
    std::vector<Outcome> outcomes = RunPlan(server, client, kCount);
    for (size_t i = 0; i < kCount; ++i) {
        std::string body = "body " + std::to_string(i);
        ExpectSuccess(outcomes[i], Local(i), body, static_cast<int>(body.size()));
        EXPECT_LE(TimesRequested(server.requests(), ServerPathOf(i)), 2u)
            << "asked again once at most";
    }
}

class PipelineFailureTest : public PipelineTest,
                            public ::testing::WithParamInterface<FailureCase> {};

// A fault in the middle of a pipelined run: that download fails with its
// reason, the ones after it arrive whole; a request is sent again only when it
// got no byte of answer, and only once.
TEST_P(PipelineFailureTest, FaultFailsOnlyItsOwnDownload) {
    const FailureCase& c = GetParam();
    const size_t kCount = 5, kFaulty = 1;
    std::map<std::string, std::vector<ServerStep>> scripts = {
        {"V/codelist.txt.zip", {Send(OkResponse("list"))}}};
    std::vector<std::string> bodies;
    for (size_t i = 0; i < kCount; ++i) {
        bodies.push_back(RandomBytes(60000 + i, static_cast<unsigned>(40 + i)));
        scripts[ServerPathOf(i)] = {Send(OkResponse(bodies.back()))};
    }
    scripts[ServerPathOf(kFaulty)] = c.script;
    testsupport::ScriptedServer server(kByPath, scripts);
    CHttpDownloader client;
    client.SetTimeouts(kConnectTimeoutMs, 60000);
    std::vector<Outcome> outcomes = RunPlan(server, client, kCount);
    std::vector<std::string> requests = server.requests();
    for (size_t i = 0; i < kCount; ++i) {
        if (i == kFaulty) {
            ExpectFailure(outcomes[i]);
            EXPECT_EQ(outcomes[i].failure, c.failure) << DownloadFailureName(outcomes[i].failure);
            bool noByte = c.script.size() == 1 && c.script[0].kind == ServerStep::Kind::Close;
            EXPECT_EQ(TimesRequested(requests, ServerPathOf(i)), noByte ? 2u : 1u);
        } else {
            ExpectSuccess(outcomes[i], Local(i), bodies[i], static_cast<int>(bodies[i].size()));
            EXPECT_LE(TimesRequested(requests, ServerPathOf(i)), 2u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PipelineFailureTest, ::testing::ValuesIn(FailureCases()),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
