#include "net/response_header.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct HeaderCase {
    const char* name;
    std::string text;
    bool ends;
    int status;
    ResponseHeader::Length length;
    int contentLength;
};

std::ostream& operator<<(std::ostream& os, const HeaderCase& c) { return os << c.name; }

using L = ResponseHeader::Length;

// clang-format off
const HeaderCase kHeaders[] = {
    {"Plain", "HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\nbody", true, 200, L::Valid, 12},
    {"Http10", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n", true, 200, L::Valid, 3},
    {"NameInLowerCase", "HTTP/1.1 200 OK\r\ncontent-length:7\r\n\r\n", true, 200, L::Valid, 7},
    {"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n", true, 404, L::Valid, 9},
    {"OkElsewhereIsNoStatus", "HTTP/1.1 404 Not Found\r\nX-Note: 200 OK\r\n\r\n", true, 404, L::Absent, 0},
    {"Redirect", "HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n", true, 302, L::Absent, 0},
    {"NoEnd", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n", false, 0, L::Absent, 0},
    {"Negative", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", true, 200, L::Invalid, 0},
    {"TooLarge", "HTTP/1.1 200 OK\r\nContent-Length: 2147483648\r\n\r\n", true, 200, L::Invalid, 0},
    {"Largest", "HTTP/1.1 200 OK\r\nContent-Length: 2147483647\r\n\r\n", true, 200, L::Valid, 2147483647},
    {"TrailingLetters", "HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\n", true, 200, L::Invalid, 0},
    {"Empty", "HTTP/1.1 200 OK\r\nContent-Length:\r\n\r\n", true, 200, L::Invalid, 0},
    {"DuplicatesDiffer", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n", true, 200,
     L::Invalid, 0},
    {"DuplicatesAgree", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 4\r\n\r\n", true, 200,
     L::Valid, 4},
    {"BadStatusLine", "HTTP/1.1 2000 OK\r\n\r\n", true, 0, L::Absent, 0},
    {"NotHttp", "SSH-2.0-OpenSSH\r\n\r\n", true, 0, L::Absent, 0},
    {"ReasonMissing", "HTTP/1.1 200\r\nContent-Length: 1\r\n\r\n", true, 200, L::Valid, 1},
};
// clang-format on

class ResponseHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ResponseHeaderTest, Analyse) {
    const HeaderCase& c = GetParam();
    ResponseHeader h;
    ASSERT_EQ(AnalyseResponseHeader(c.text.data(), c.text.size(), &h), c.ends);
    if (!c.ends) {
        return;
    }
    EXPECT_EQ(h.headerLength, static_cast<int>(c.text.find("\r\n\r\n") + 4));
    EXPECT_EQ(h.statusCode, c.status);
    EXPECT_EQ(h.length, c.length);
    if (c.length == L::Valid) {
        EXPECT_EQ(h.contentLength, c.contentLength);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ResponseHeaderTest, ::testing::ValuesIn(kHeaders),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ResponseHeaderFlagsTest, CodingsAndConnection) {
    ResponseHeader h;
    std::string t =
        "HTTP/1.1 200 OK\r\nTRANSFER-ENCODING: chunked\r\nConnection: Upgrade, CLOSE\r\n\r\n";
    ASSERT_TRUE(AnalyseResponseHeader(t.data(), t.size(), &h));
    EXPECT_TRUE(h.transferCoded);
    EXPECT_TRUE(h.connectionClose);
    EXPECT_FALSE(h.contentCoded);

    t = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nConnection: keep-alive\r\n\r\n";
    ASSERT_TRUE(AnalyseResponseHeader(t.data(), t.size(), &h));
    EXPECT_TRUE(h.contentCoded);
    EXPECT_FALSE(h.connectionClose);

    t = "HTTP/1.1 200 OK\r\nContent-Encoding: identity\r\nX-Connection: close\r\n\r\n";
    ASSERT_TRUE(AnalyseResponseHeader(t.data(), t.size(), &h));
    EXPECT_FALSE(h.contentCoded);
    EXPECT_FALSE(h.connectionClose);
}

TEST(ResponseHeaderFlagsTest, WholeHeaderIsExaminedUpToItsLimit) {
    // A Content-Length far behind the first kilobyte still counts.
    std::string t =
        "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(5000, 'p') + "\r\nContent-Length: 77\r\n\r\n";
    int headerLength = -1, contentLength = -1;
    ASSERT_TRUE(
        ParseResponseHeader(t.data(), static_cast<int>(t.size()), &headerLength, &contentLength));
    EXPECT_EQ(headerLength, static_cast<int>(t.size()));
    EXPECT_EQ(contentLength, 77);

    // The end beyond the limit is not looked for.
    std::string tooLong =
        "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(kHeaderMaxLength, 'p') + "\r\n\r\n";
    ResponseHeader h;
    EXPECT_FALSE(AnalyseResponseHeader(tooLong.data(), tooLong.size(), &h));
}

TEST(ResponseHeaderFlagsTest, ParseLeavesOutputsAloneWhenAbsent) {
    std::string t = "HTTP/1.1 404 Not Found\r\n\r\n";
    int headerLength = -1, contentLength = -1;
    EXPECT_FALSE(
        ParseResponseHeader(t.data(), static_cast<int>(t.size()), &headerLength, &contentLength));
    EXPECT_EQ(headerLength, static_cast<int>(t.size()));
    EXPECT_EQ(contentLength, -1);
    std::string partial = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n";
    headerLength = -1;
    EXPECT_FALSE(ParseResponseHeader(partial.data(), static_cast<int>(partial.size()),
                                     &headerLength, &contentLength));
    EXPECT_EQ(headerLength, -1);
}

}  // namespace
