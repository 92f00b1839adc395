#include "engine/line_reader.h"

#include "platform/fs.h"

#include <cstring>

namespace {

constexpr size_t kReadBlock = 64 * 1024;

void DropCarriageReturn(std::string& line) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
}

}  // namespace

CLineReader::CLineReader(const char* path, size_t maxLine)
    : m_buffer(kReadBlock), m_maxLine(maxLine) {
    m_file = path ? platform::OpenStdio(path, "rb") : nullptr;
}

CLineReader::~CLineReader() {
    if (m_file) {
        fclose(m_file);
    }
}

bool CLineReader::Fill() {
    m_pos = 0;
    m_end = m_file ? fread(m_buffer.data(), 1, m_buffer.size(), m_file) : 0;
    return m_end > 0;
}

bool CLineReader::ReadLine(std::string& line) {
    line.clear();
    bool any = false;
    bool overlong = false;
    // Appends what fits; a line past the limit (one more byte for its CR) is
    // dropped as soon as it is known to be longer.
    size_t keep = m_maxLine == kNoLimit ? kNoLimit : m_maxLine + 1;
    auto take = [&](const char* data, size_t len) {
        if (!overlong && len > keep - line.size()) {
            overlong = true;
            line.clear();
            line.shrink_to_fit();
        }
        if (!overlong) {
            line.append(data, len);
        }
    };
    for (;;) {
        if (m_pos == m_end && !Fill()) {
            // End of file: a last line without terminator still counts.
            if (any) {
                DropCarriageReturn(line);
                if (line.size() > m_maxLine) {
                    line.clear();
                }
            }
            return any;
        }
        any = true;
        const char* start = m_buffer.data() + m_pos;
        const void* lf = std::memchr(start, '\n', m_end - m_pos);
        if (lf) {
            size_t len = static_cast<size_t>(static_cast<const char*>(lf) - start);
            take(start, len);
            m_pos += len + 1;
            DropCarriageReturn(line);
            if (line.size() > m_maxLine) {
                line.clear();  // one byte too long, and no CR to drop
            }
            return true;
        }
        take(start, m_end - m_pos);
        m_pos = m_end;
    }
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}
