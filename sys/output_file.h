// An extracted file being written: created as CreateFileA with CREATE_ALWAYS
// (write access, no sharing, an existing file replaced), with a write buffer
// so that the 2048-byte pieces of the copy loop reach the system in large writes.
#pragma once

#include "platform/fs.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class COutputFile {
public:
    COutputFile() = default;
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // `expectedSize` sizes the buffer (never above kMaxBuffer), so a small
    // file costs one small buffer and one write.
    bool Create(const char* path, size_t expectedSize);
    // False once any write has failed; buffered bytes count as written only
    // when Close succeeds.
    bool Write(const void* data, size_t size);
    // Writes what is buffered and gives the file its last-write time and
    // attributes through the open file (a link is never changed instead).
    bool Finish(uint32_t dosDateTime, uint32_t attributes);
    // Writes what is buffered and closes; true when every byte reached the file.
    bool Close();

    static constexpr size_t kMaxBuffer = 256 * 1024;

private:
    bool Flush();

    platform::File m_file;
    std::unique_ptr<char[]> m_buffer;
    size_t m_capacity = 0;
    size_t m_used = 0;
    bool m_failed = false;
};
