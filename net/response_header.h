// The header of an HTTP response, read from the bytes received so far. Pure
// functions over bytes: no I/O, so they can be fuzzed.
#pragma once

#include <cstddef>

// The longest header the client accepts; a longer one fails the download.
constexpr int kHeaderMaxLength = 16384;

struct ResponseHeader {
    enum class Length { Absent, Valid, Invalid };

    int headerLength = 0;  // bytes up to and including the empty line
    int statusCode = 0;    // from the status line; 0 when it is malformed
    bool http10 = false;   // "HTTP/1.0": the body may run until the server closes
    bool connectionClose = false;
    bool transferCoded = false;  // a Transfer-Encoding (chunked...) the client cannot decode
    bool contentCoded = false;   // a Content-Encoding other than identity
    Length length = Length::Absent;
    int contentLength = 0;  // valid when length == Length::Valid
};

// Looks for the end of the header within the first `size` bytes (at most
// kHeaderMaxLength are examined). False while the header has not ended there;
// otherwise fills `header` from the status line and the fields, header names
// matched regardless of letter case.
bool AnalyseResponseHeader(const char* data, size_t size, ResponseHeader* header);

// The first block's test: true when the header ends within the examined
// bytes and its status line's code is 200 (HTTP/1.0 or 1.1). Sets
// `headerLength` when the header ends there and `contentLength` when it holds
// a valid Content-Length; leaves each unchanged otherwise.
bool ParseResponseHeader(const char* block, int length, int* headerLength, int* contentLength);
