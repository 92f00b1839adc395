// Reads a narrow text file line by line, the way the update list and the
// settings file are read: a line ends with LF or CR LF (a CR elsewhere is part
// of the line), the terminator is not part of the line, the last line needs no
// terminator, a terminator at the very end opens no further empty line, and a
// line has no length limit.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class CLineReader {
public:
    static constexpr size_t kNoLimit = static_cast<size_t>(-1);

    // Opens the file at `path` (engine form) for reading; IsOpen() tells. A
    // line longer than `maxLine` bytes is read as an empty line, and never
    // held whole.
    explicit CLineReader(const char* path, size_t maxLine = kNoLimit);
    ~CLineReader();
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    // The next line into `line`; false at the end of the file (or on a read error).
    bool ReadLine(std::string& line);

private:
    bool Fill();

    FILE* m_file = nullptr;
    std::vector<char> m_buffer;
    size_t m_maxLine;
    size_t m_pos = 0;
    size_t m_end = 0;
};

// The same rules over text already in memory (parsers and fuzzers).
std::vector<std::string_view> SplitLines(std::string_view text);
