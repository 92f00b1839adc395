// What the update engine shows, and the only way it changes the display. The
// wizard's progress page queues each operation for its UI thread, which does
// them in order, and posts SetWizardButtons behind them; the console updater
// and the tests have their own.
#pragma once

#include "platform/notify.h"

#include <string>

enum class ProgressBar { Current, Total };

// Wizard buttons: none of Back, Next, Finish (Cancel stays), or one of these.
constexpr unsigned PSWIZB_NONE = 0;
constexpr unsigned PSWIZB_NEXT_BUTTON = 2;    // PSWIZB_NEXT
constexpr unsigned PSWIZB_FINISH_BUTTON = 4;  // PSWIZB_FINISH

class IUpdateDisplay {
public:
    virtual ~IUpdateDisplay() = default;

    virtual void SetStatusText(const std::string& text) = 0;
    // A row at the end of the file list: file name, size in bytes, status.
    virtual void AppendFileRow(const std::string& fileName, int size,
                               const std::string& status) = 0;
    virtual void SetRowStatus(int row, const std::string& status) = 0;
    virtual void ShowRow(int row) = 0;
    // 0..upper, only the low 16 bits of `upper` taking effect (PBM_SETRANGE).
    virtual void SetBarRange16(ProgressBar bar, int upper) = 0;
    // 0..upper with the full value (PBM_SETRANGE32).
    virtual void SetBarRange32(ProgressBar bar, int upper) = 0;
    virtual void SetBarPos(ProgressBar bar, int pos) = 0;
    // Reads the bar's range back and sets the position to its upper bound.
    virtual void FillBar(ProgressBar bar) = 0;
    virtual void SetWizardButtons(unsigned flags) = 0;
    // Where the download client posts its notifications for this display.
    virtual platform::NotifyTarget NotifyTarget() = 0;
};
