#include "console_display.h"

#include "platform/console_text.h"

#include <cstdio>

namespace {

int Index(ProgressBar bar) { return bar == ProgressBar::Current ? 0 : 1; }

}  // namespace

void CConsoleDisplay::Print(const std::string& line) {
    std::string text = ToConsoleText(line);
    fwrite(text.data(), 1, text.size(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

void CConsoleDisplay::SetStatusText(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Print("* " + text);
}

void CConsoleDisplay::AppendFileRow(const std::string& fileName, int size, const std::string& status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rowNames.push_back(fileName);
    Print("  " + fileName + "  " + std::to_string(size) + "  " + status);
}

void CConsoleDisplay::SetRowStatus(int row, const std::string& status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (row >= 0 && static_cast<size_t>(row) < m_rowNames.size()) {
        Print("  " + m_rowNames[static_cast<size_t>(row)] + ": " + status);
    }
}

void CConsoleDisplay::SetBarRange16(ProgressBar bar, int upper) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_upper[Index(bar)] = upper & 0xFFFF;
}

void CConsoleDisplay::SetBarRange32(ProgressBar bar, int upper) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_upper[Index(bar)] = upper;
}

void CConsoleDisplay::SetBarPos(ProgressBar bar, int pos) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pos[Index(bar)] = pos;
}

void CConsoleDisplay::FillBar(ProgressBar bar) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pos[Index(bar)] = m_upper[Index(bar)];
}
