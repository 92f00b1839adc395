// The console updater's display: the status line, the file rows and the
// download progress, written as lines to standard output.
#pragma once

#include "engine/update_display.h"
#include "platform/notification_receiver.h"

#include <mutex>
#include <string>
#include <vector>

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

private:
    void Print(const std::string& line);

    std::mutex m_mutex;
    std::vector<std::string> m_rowNames;
    int m_upper[2] = {100, 100};
    int m_pos[2] = {0, 0};
    platform::NotificationReceiver m_notifications;
};
