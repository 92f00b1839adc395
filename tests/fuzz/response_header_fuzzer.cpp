// The response header handling on arbitrary bytes: the analysis must stay
// inside the bytes it was given and agree with the first block's test.
#include "net/response_header.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes, so ASan sees any read past them.
    std::vector<char> bytes(data, data + size);
    ResponseHeader h;
    bool ended = AnalyseResponseHeader(bytes.data(), bytes.size(), &h);
    if (ended) {
        if (h.headerLength < 4 || static_cast<size_t>(h.headerLength) > size ||
            h.headerLength > kHeaderMaxLength) {
            abort();
        }
        if (h.length == ResponseHeader::Length::Valid && h.contentLength < 0) {
            abort();
        }
    }
    int headerLength = -7, contentLength = -7;
    bool ok = ParseResponseHeader(bytes.data(), static_cast<int>(bytes.size()), &headerLength,
                                  &contentLength);
    if (ok != (ended && h.statusCode == 200)) {
        abort();
    }
    if (ended != (headerLength != -7)) {
        abort();
    }
    return 0;
}
