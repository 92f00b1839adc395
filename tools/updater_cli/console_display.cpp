#include "console_display.h"

#include "engine/download_view.h"
#include "engine/update_texts.h"
#include "platform/console_text.h"

#include <cstdio>

namespace {

int Index(ProgressBar bar) { return bar == ProgressBar::Current ? 0 : 1; }

}  // namespace

CStageTimes::CStageTimes() : m_since(Clock::now()) {}

void CStageTimes::Enter(Stage stage) {
    Clock::time_point now = Clock::now();
    m_seconds[m_stage] += std::chrono::duration<double>(now - m_since).count();
    m_since = now;
    m_stage = stage;
}

void CStageTimes::OnStatus(const std::string& text) {
    // The download client's notices come through the display thread, a
    // little after the worker's own operations: only the stage each one
    // ends is moved on, the list's own download stays in List.
    if (text == kTextChecking) {
        Enter(Planning);
    } else if (text == kTextConnected) {
        if (m_stage == Connect) {
            Enter(Transfer);
        }
    } else if (text == kTextDone || text == kTextFailed) {
        if (m_stage == Transfer) {
            Enter(text == kTextDone ? Unpack : Between);
        } else if (m_stage == Connect) {
            Enter(Between);
        }
    } else if (text == kTextCopying) {
        if (m_stage == Between) {
            m_stage = CloseCheck;  // after the last file: the loop's end and the suite check
        }
        Enter(Copy);
    } else {
        Enter(Finish);  // completed, errors, cancelled, nothing to do
    }
}

void CStageTimes::OnRowStatus(const std::string& status) {
    if (status == kTextConnecting) {
        ++m_downloads;
        Enter(Connect);
        return;
    }
    if (m_stage == Transfer) {
        ++m_lateDone;  // its unpack and verify are counted as transfer
    }
    Enter(Between);
}

void CStageTimes::OnFillBar() {
    if (m_stage == Copy) {
        Enter(Cleanup);  // the bars are filled once every file is in place
    }
}

void CStageTimes::Print(FILE* out) {
    static const char* const kNames[kStages] = {
        "list",    "planning",    "connect", "transfer", "unpack+verify",
        "between", "close-check", "copy",    "cleanup",  "finish"};
    Enter(Finish);
    double total = 0;
    fprintf(out, "lksupdate-cli timings (seconds):\n");
    for (int s = 0; s < kStages; ++s) {
        fprintf(out, "  %-14s %9.3f\n", kNames[s], m_seconds[s]);
        total += m_seconds[s];
    }
    fprintf(out, "  %-14s %9.3f\n", "total", total);
    fprintf(out,
            "  %d downloads, %d done notices after their row (unpack+verify counted as transfer)\n",
            m_downloads, m_lateDone);
}

void CConsoleDisplay::ShowDownloadEvent(CUpdateRun& run, uintptr_t code, intptr_t value) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ShowDownloadEventOfRun(run, code, value);
}

void CConsoleDisplay::SetStageTimes(CStageTimes* times) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_times = times;
}

void CConsoleDisplay::Print(const std::string& line) {
    std::string text = ToConsoleText(line);
    fwrite(text.data(), 1, text.size(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

void CConsoleDisplay::SetStatusText(const std::string& text) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_times) {
        m_times->OnStatus(text);
    }
    Print("* " + text);
}

void CConsoleDisplay::AppendFileRow(const std::string& fileName, int size,
                                    const std::string& status) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_rowNames.push_back(fileName);
    Print("  " + fileName + "  " + std::to_string(size) + "  " + status);
}

void CConsoleDisplay::SetRowStatus(int row, const std::string& status) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_times) {
        m_times->OnRowStatus(status);
    }
    if (row < 0 || static_cast<size_t>(row) >= m_rowNames.size()) {
        return;
    }
    const std::string& name = m_rowNames[static_cast<size_t>(row)];
    Print("  " + name + ": " + status);
    if (!m_downloader) {
        return;
    }
    if (status == kTextConnecting) {
        m_downloadsAtRowStart = m_downloader->DownloadCount();
    } else if (status == kTextFailed && m_downloader->DownloadCount() > m_downloadsAtRowStart &&
               m_downloader->LastFailure() != DownloadFailure::None) {
        // Only when this row's own download failed, not its checks.
        Print("  " + name + ": (" + DownloadFailureName(m_downloader->LastFailure()) + ")");
    }
}

void CConsoleDisplay::SetBarRange16(ProgressBar bar, int upper) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_upper[Index(bar)] = upper & 0xFFFF;
}

void CConsoleDisplay::SetBarRange32(ProgressBar bar, int upper) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_upper[Index(bar)] = upper;
}

void CConsoleDisplay::SetBarPos(ProgressBar bar, int pos) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_pos[Index(bar)] = pos;
}

void CConsoleDisplay::FillBar(ProgressBar bar) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_times) {
        m_times->OnFillBar();
    }
    m_pos[Index(bar)] = m_upper[Index(bar)];
}
