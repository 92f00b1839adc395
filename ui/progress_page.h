// Page 2: settles the run's inputs, starts the update worker and shows its
// progress: the file list, two bars and the status line. The page is the run
// state the worker works on, and its display.
#pragma once

#ifdef _WIN32

#include "app/update_settings.h"
#include "engine/update_display.h"
#include "engine/update_run.h"
#include "ui/controls.h"
#include "ui/paint_throttle.h"
#include "ui/ui_work_queue.h"
#include "ui/wizard_page.h"

class CMyPropertyPage2 : public ui::WizardPage, private IUpdateDisplay, public CUpdateRun {
public:
    explicit CMyPropertyPage2(const UpdateSettings& settings);

    ui::ListViewControl m_list;
    ui::ProgressControl m_progressTotal;
    ui::ProgressControl m_progressCurrent;

protected:
    void DoDataExchange(ui::DataExchange& exchange) override;
    BOOL OnSetActive() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    // The display, called by the worker thread (and by OnMessage for download
    // events). The worker's calls are queued for the UI thread, which does
    // them in order; SetWizardButtons is posted to the sheet, behind them.
    void SetStatusText(const std::string& text) override;
    void AppendFileRow(const std::string& fileName, int size, const std::string& status) override;
    void SetRowStatus(int row, const std::string& status) override;
    void ShowRow(int row) override;
    void SetBarRange16(ProgressBar bar, int upper) override;
    void SetBarRange32(ProgressBar bar, int upper) override;
    void SetBarPos(ProgressBar bar, int pos) override;
    void FillBar(ProgressBar bar) override;
    void SetWizardButtons(unsigned flags) override;
    platform::NotifyTarget NotifyTarget() override;

    // The bar, held from painting until the next interval.
    ui::ProgressControl& HeldBar(ProgressBar bar);
    ui::PaintThrottle m_paintThrottle;
    ui::UiWorkQueue m_uiWork;

    const UpdateSettings& m_settings;
};

#endif
