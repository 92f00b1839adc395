// Where a response body goes, and who hears of its progress: the local file
// and the window's notifications in the product, memory in tests and the fuzzer.
#pragma once

#include <cstddef>

class IBodySink {
public:
    virtual ~IBodySink() = default;
    // Called once, when a 200 response's header has been accepted.
    virtual bool Open() = 0;
    virtual bool Write(const char* data, size_t size) = 0;
    // Called once after the last byte; false when what was written is not kept whole.
    virtual bool Close() = 0;
};

class IResponseObserver {
public:
    virtual ~IResponseObserver() = default;
    // The body length of an accepted response (0 when it runs until the close).
    virtual void OnLength(int total) = 0;
    // Body bytes stored so far, after each block but the first.
    virtual void OnProgress(long long stored) = 0;
};
