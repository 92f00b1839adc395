// A display that records what the update engine shows, with the bars'
// range rules of the real controls (16-bit ranges keep the low 16 bits).
// Safe to use from the worker's thread while the test reads it afterwards.
#pragma once

#include "engine/update_display.h"
#include "platform/notification_receiver.h"

#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

struct Row {
    std::string fileName;
    int size;
    std::string status;
};

class RecordingDisplay : public IUpdateDisplay {
public:
    void SetStatusText(const std::string& text) override;
    void AppendFileRow(const std::string& fileName, int size, const std::string& status) override;
    void SetRowStatus(int row, const std::string& status) override;
    void ShowRow(int row) override;
    void SetBarRange16(ProgressBar bar, int upper) override;
    void SetBarRange32(ProgressBar bar, int upper) override;
    void SetBarPos(ProgressBar bar, int pos) override;
    void FillBar(ProgressBar bar) override;
    void SetWizardButtons(unsigned flags) override;
    platform::NotifyTarget NotifyTarget() override { return m_notifications.target(); }

    std::vector<std::string> statusTexts() const;
    std::vector<Row> rows() const;
    int barUpper(ProgressBar bar) const;
    int barPos(ProgressBar bar) const;
    // Every wizard-button change, in order.
    std::vector<unsigned> buttons() const;

    // Where the download client of the run posts (drain it from the thread that made the display).
    platform::NotificationReceiver& notifications() { return m_notifications; }

private:
    struct Bar {
        int upper = 100;
        int pos = 0;
    };
    Bar& BarOf(ProgressBar bar) { return bar == ProgressBar::Current ? m_current : m_total; }

    mutable std::mutex m_mutex;
    std::vector<std::string> m_status;
    std::vector<Row> m_rows;
    Bar m_current, m_total;
    std::vector<unsigned> m_buttons;
    platform::NotificationReceiver m_notifications;
};

}  // namespace testsupport
