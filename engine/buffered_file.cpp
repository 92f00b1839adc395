#include "engine/buffered_file.h"

#include <cstring>

CBufferedFile::CBufferedFile() : m_buffer(new uint8_t[kBufferSize]) {}

bool CBufferedFile::Open(const char* path) {
    m_pos = m_end = 0;
    return m_file.Open(path, platform::File::Mode::ReadDenyWrite);
}

long CBufferedFile::Read(void* buffer, size_t size) {
    if (!m_file.IsOpen()) {
        return -1;
    }
    if (size == 0) {
        return 0;
    }
    if (m_pos == m_end) {
        long got = m_file.Read(m_buffer.get(), kBufferSize);
        if (got <= 0) {
            return got;
        }
        m_pos = 0;
        m_end = static_cast<size_t>(got);
    }
    size_t take = m_end - m_pos < size ? m_end - m_pos : size;
    std::memcpy(buffer, m_buffer.get() + m_pos, take);
    m_pos += take;
    return static_cast<long>(take);
}
