// Reads a file through a fixed buffer, so that a caller taking small blocks
// pays one system call per buffer instead of one per block.
#pragma once

#include "platform/fs.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CBufferedFile {
public:
    // Large enough that system calls cost little next to the work on the
    // data, small enough to stay in the processor's cache.
    static constexpr size_t kBufferSize = 128 * 1024;

    CBufferedFile();

    // Opens for reading; others may read the file meanwhile but not write it.
    bool Open(const char* path);
    // Up to `size` bytes into `buffer`: the count, 0 at the end, -1 on a read error.
    long Read(void* buffer, size_t size);

private:
    platform::File m_file;
    std::unique_ptr<uint8_t[]> m_buffer;
    size_t m_pos = 0;
    size_t m_end = 0;
};
