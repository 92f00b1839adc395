#include "sys/output_file.h"

#include <algorithm>
#include <cstring>

bool COutputFile::Create(const char* path, size_t expectedSize) {
    m_used = 0;
    m_failed = false;
    if (!m_file.Open(path, platform::File::Mode::CreateAlways)) {
        return false;
    }
    size_t capacity = std::min(std::max<size_t>(expectedSize, 1), kMaxBuffer);
    if (capacity > m_capacity) {
        m_buffer.reset(new char[capacity]);
        m_capacity = capacity;
    }
    return true;
}

bool COutputFile::Write(const void* data, size_t size) {
    if (m_failed || !m_file.IsOpen()) {
        return false;
    }
    if (size > m_capacity - m_used) {
        if (!Flush()) {
            return false;
        }
        if (size >= m_capacity) {
            m_failed = !m_file.Write(data, size);
            return !m_failed;
        }
    }
    std::memcpy(m_buffer.get() + m_used, data, size);
    m_used += size;
    return true;
}

bool COutputFile::Flush() {
    if (m_used > 0 && !m_failed) {
        m_failed = !m_file.Write(m_buffer.get(), m_used);
    }
    m_used = 0;
    return !m_failed;
}

bool COutputFile::Finish(uint32_t dosDateTime, uint32_t attributes) {
    return m_file.IsOpen() && Flush() && m_file.SetDosTimeAndAttributes(dosDateTime, attributes);
}

bool COutputFile::Close() {
    if (!m_file.IsOpen()) {
        return false;
    }
    bool flushed = Flush();
    bool closed = m_file.Close();
    return flushed && closed;
}
