#include "ui/progress_page.h"

#include "app/run_inputs.h"
#include "engine/download_view.h"
#include "engine/update_worker.h"
#include "net/download_events.h"
#include "platform/thread.h"
#include "ui/dialog_colors.h"
#include "ui/message_box.h"
#include "ui/resources/resource.h"

#include <cstdio>

namespace {

// Tells the page that the worker queued work for it; carries nothing.
constexpr UINT kRunUiWork = WM_APP + 0x100;

// The update worker, with the instance's dialog colours for its message box
// (the question to close the suite).
unsigned ColouredUpdateThread(void* run) {
    ui::HookDialogColorsOnThisThread();
    unsigned result = UpdateThreadProc(run);
    ui::UnhookDialogColorsOnThisThread();
    return result;
}

}  // namespace

CMyPropertyPage2::CMyPropertyPage2(const UpdateSettings& settings)
    : WizardPage(IDD_PAGE_PROGRESS), CUpdateRun(this), m_settings(settings) {}

void CMyPropertyPage2::DoDataExchange(ui::DataExchange& exchange) {
    exchange.Control(IDC_LIST_FILES, m_list.Handle());
    exchange.Control(IDC_PROGRESS_TOTAL, m_progressTotal.Handle());
    exchange.Control(IDC_PROGRESS_CURRENT, m_progressCurrent.Handle());
}

BOOL CMyPropertyPage2::OnSetActive() {
    // Page 2 is entered once per program run: nothing leads back to page 1.
    m_list.InsertColumn(0, "文件名", 160);
    m_list.InsertColumn(1, "大小(字节)", 80);
    m_list.InsertColumn(2, "状态", 75);
    m_paintThrottle = ui::PaintThrottle(GetSafeHwnd());
    m_uiWork.Attach(GetSafeHwnd(), kRunUiWork);

    if (!SettleRunInputs(m_settings, *this)) {
        ui::ShowMessageBox("找不到系统注册信息，无法升级。", MB_OK);
        // Nothing ran: leaving Next on would let page 3 report an update.
        SetWizardButtons(PSWIZB_NONE);
        return WizardPage::OnSetActive();
    }
    // Page 1 left Next on: until the worker's own PSM_SETWIZBUTTONS arrives, a
    // Next would lead to page 3 and its report of a completed update. Sent,
    // not posted, so that the buttons are off before the page is shown.
    DisableWizardButtonsNow();
    if (!platform::StartThread(ColouredUpdateThread, static_cast<CUpdateRun*>(this))) {
        SetStatusText("有错误,请重新运行本更新程序.");
        SetWizardButtons(PSWIZB_NONE);
    }
    return WizardPage::OnSetActive();
}

bool CMyPropertyPage2::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR*) {
    switch (message) {
        case WM_DOWNLOAD_EVENT: ShowDownloadEventOfRun(*this, wParam, lParam); return true;
        case kRunUiWork: m_uiWork.RunPending(); return true;
        case WM_TIMER:
            if (wParam != ui::PaintThrottle::kTimerId) {
                return false;
            }
            m_paintThrottle.Resume();
            return true;
        default: return false;
    }
}

void CMyPropertyPage2::SetStatusText(const std::string& text) {
    m_uiWork.Run([this, text] {
        HWND status = GetDlgItem(IDC_STATUS);
        m_paintThrottle.Hold(status);
        SetWindowTextA(status, text.c_str());
    });
}

void CMyPropertyPage2::AppendFileRow(const std::string& fileName, int size,
                                     const std::string& status) {
    m_uiWork.Run([this, fileName, size, status] {
        m_paintThrottle.Hold(m_list.Handle());
        int row = m_list.InsertItem(m_list.GetItemCount(), fileName);
        char sizeText[16];
        snprintf(sizeText, sizeof sizeText, "%d", size);
        m_list.SetItemText(row, 1, sizeText);
        m_list.SetItemText(row, 2, status);
    });
}

void CMyPropertyPage2::SetRowStatus(int row, const std::string& status) {
    m_uiWork.Run([this, row, status] {
        m_paintThrottle.Hold(m_list.Handle());
        m_list.SetItemText(row, 2, status);
    });
}

void CMyPropertyPage2::ShowRow(int row) {
    m_uiWork.Run([this, row] { m_paintThrottle.ShowRow(m_list.Handle(), row); });
}

void CMyPropertyPage2::SetBarRange16(ProgressBar bar, int upper) {
    m_uiWork.Run([this, bar, upper] { HeldBar(bar).SetRange16(upper); });
}

void CMyPropertyPage2::SetBarRange32(ProgressBar bar, int upper) {
    m_uiWork.Run([this, bar, upper] { HeldBar(bar).SetRange32(upper); });
}

void CMyPropertyPage2::SetBarPos(ProgressBar bar, int pos) {
    m_uiWork.Run([this, bar, pos] { HeldBar(bar).SetPos(pos); });
}

void CMyPropertyPage2::FillBar(ProgressBar bar) {
    m_uiWork.Run([this, bar] {
        ui::ProgressControl& control = HeldBar(bar);
        control.SetPos(control.GetUpper());
    });
}

void CMyPropertyPage2::SetWizardButtons(unsigned flags) { WizardPage::SetWizardButtons(flags); }

platform::NotifyTarget CMyPropertyPage2::NotifyTarget() { return GetSafeHwnd(); }

ui::ProgressControl& CMyPropertyPage2::HeldBar(ProgressBar bar) {
    ui::ProgressControl& control =
        bar == ProgressBar::Current ? m_progressCurrent : m_progressTotal;
    m_paintThrottle.Hold(control.Handle());
    return control;
}
