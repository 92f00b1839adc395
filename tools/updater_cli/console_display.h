// The console updater's display: the status line, the file rows and the
// download progress, written as lines to standard output.
#pragma once

#include "engine/update_display.h"
#include "engine/update_run.h"
#include "net/http_downloader.h"
#include "platform/notification_receiver.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// The time of each stage of a run (--timings), told apart only by the
// operations the engine does on the display and the download client's
// notices, so that measuring changes nothing in the engine. Each interval
// between two such operations goes to the stage the first one opened.
class CStageTimes {
public:
    enum Stage {
        List,
        Planning,
        Connect,
        Transfer,
        Unpack,
        Between,
        CloseCheck,
        Copy,
        Cleanup,
        Finish,
        kStages
    };

    CStageTimes();
    void OnStatus(const std::string& text);
    void OnRowStatus(const std::string& status);
    void OnFillBar();
    // Closes the last stage and writes the table to `out`.
    void Print(FILE* out);

private:
    void Enter(Stage stage);

    using Clock = std::chrono::steady_clock;
    Clock::time_point m_since;
    Stage m_stage = List;
    double m_seconds[kStages] = {};
    int m_downloads = 0;
    int m_lateDone = 0;  // downloads whose done notice came after their row was finished
};

class CConsoleDisplay : public IUpdateDisplay {
public:
    void SetStatusText(const std::string& text) override;
    void AppendFileRow(const std::string& fileName, int size, const std::string& status) override;
    void SetRowStatus(int row, const std::string& status) override;
    void ShowRow(int) override {}
    void SetBarRange16(ProgressBar bar, int upper) override;
    void SetBarRange32(ProgressBar bar, int upper) override;
    void SetBarPos(ProgressBar bar, int pos) override;
    void FillBar(ProgressBar bar) override;
    void SetWizardButtons(unsigned) override {}
    platform::NotifyTarget NotifyTarget() override { return m_notifications.target(); }

    platform::NotificationReceiver& notifications() { return m_notifications; }
    // A download notification of `run`, unless the run's downloads have
    // ended: decided and printed in one step with respect to the worker's
    // lines, so no notification is printed after the closing text.
    void ShowDownloadEvent(CUpdateRun& run, uintptr_t code, intptr_t value);
    // Times the stages from now on (null: no more).
    void SetStageTimes(CStageTimes* times);
    // The client whose failures a failed row tells (its reason on a line of its own).
    void SetDownloader(const CHttpDownloader* downloader) { m_downloader = downloader; }

private:
    void Print(const std::string& line);

    std::recursive_mutex m_mutex;
    std::vector<std::string> m_rowNames;
    int m_upper[2] = {100, 100};
    int m_pos[2] = {0, 0};
    platform::NotificationReceiver m_notifications;
    CStageTimes* m_times = nullptr;
    const CHttpDownloader* m_downloader = nullptr;
    unsigned m_downloadsAtRowStart = 0;  // the client's count when the row began
};
