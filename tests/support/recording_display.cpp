#include "support/recording_display.h"

namespace testsupport {

void RecordingDisplay::SetStatusText(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status.push_back(text);
}

void RecordingDisplay::AppendFileRow(const std::string& fileName, int size,
                                     const std::string& status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rows.push_back({fileName, size, status});
}

void RecordingDisplay::SetRowStatus(int row, const std::string& status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (row >= 0 && static_cast<size_t>(row) < m_rows.size()) {
        m_rows[static_cast<size_t>(row)].status = status;
    }
}

void RecordingDisplay::ShowRow(int) {}

void RecordingDisplay::SetBarRange16(ProgressBar bar, int upper) {
    std::lock_guard<std::mutex> lock(m_mutex);
    BarOf(bar).upper = upper & 0xFFFF;
}

void RecordingDisplay::SetBarRange32(ProgressBar bar, int upper) {
    std::lock_guard<std::mutex> lock(m_mutex);
    BarOf(bar).upper = upper;
}

void RecordingDisplay::SetBarPos(ProgressBar bar, int pos) {
    std::lock_guard<std::mutex> lock(m_mutex);
    BarOf(bar).pos = pos;
}

void RecordingDisplay::FillBar(ProgressBar bar) {
    std::lock_guard<std::mutex> lock(m_mutex);
    BarOf(bar).pos = BarOf(bar).upper;
}

void RecordingDisplay::SetWizardButtons(unsigned flags) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_buttons.push_back(flags);
}

std::vector<std::string> RecordingDisplay::statusTexts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_status;
}

std::vector<Row> RecordingDisplay::rows() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rows;
}

int RecordingDisplay::barUpper(ProgressBar bar) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return bar == ProgressBar::Current ? m_current.upper : m_total.upper;
}

int RecordingDisplay::barPos(ProgressBar bar) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return bar == ProgressBar::Current ? m_current.pos : m_total.pos;
}

std::vector<unsigned> RecordingDisplay::buttons() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_buttons;
}

}  // namespace testsupport
