// The response state machine on arbitrary bytes cut into arbitrary blocks:
// it must stay inside every block, never store more than the announced
// length or the bound, and account for every byte it takes.
//
// Input: one byte of block length (1..256), one byte choosing the bound
// (none, or 0..254 bytes), then the connection's bytes.
#include "net/response_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class MemorySink : public IBodySink {
public:
    bool Open() override { return ++opened == 1; }
    bool Write(const char* data, size_t size) override {
        if (opened != 1 || closed != 0) {
            abort();
        }
        bytes.append(data, size);
        return true;
    }
    bool Close() override { return ++closed == 1; }
    std::string bytes;
    int opened = 0;
    int closed = 0;
};

class CheckingObserver : public IResponseObserver {
public:
    void OnLength(int value) override {
        if (++lengths != 1 || value < 0) {
            abort();
        }
        total = value;
    }
    void OnProgress(long long stored) override {
        if (lengths != 1 || stored < last || (total > 0 && stored > total)) {
            abort();
        }
        last = stored;
    }
    int lengths = 0;
    int total = 0;
    long long last = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    size_t block = static_cast<size_t>(data[0]) + 1;
    uint64_t bound = data[1] == 255 ? kNoBodyLimit : data[1];
    data += 2;
    size -= 2;
    MemorySink sink;
    CheckingObserver observer;
    CResponseReader reader(sink, observer, bound);
    size_t taken = 0;
    for (size_t pos = 0; pos < size && !reader.ended(); pos += block) {
        size_t n = size - pos < block ? size - pos : block;
        // A copy of exactly `n` bytes, so ASan sees any read past them.
        std::vector<char> bytes(data + pos, data + pos + n);
        size_t used = reader.Feed(bytes.data(), bytes.size());
        if (used > n || (used < n && !reader.ended())) {
            abort();  // a block is taken whole unless the response ends in it
        }
        taken += used;
    }
    reader.FeedClose();
    if (!reader.ended() || taken > size) {
        abort();
    }
    if (sink.bytes.size() > bound ||
        (observer.total > 0 && sink.bytes.size() > static_cast<size_t>(observer.total))) {
        abort();
    }
    if (reader.state() == CResponseReader::State::Done &&
        (reader.failure() != DownloadFailure::None || sink.closed != 1 ||
         static_cast<long long>(sink.bytes.size()) != reader.stored())) {
        abort();
    }
    if (reader.state() == CResponseReader::State::Failed &&
        reader.failure() == DownloadFailure::None) {
        abort();
    }
    if (sink.opened != sink.closed) {
        abort();
    }
    return 0;
}
