#include "ui/finish_page.h"

#include "ui/resources/resource.h"

CMyPropertyPage3::CMyPropertyPage3(const CUpdateRun& run)
    : WizardPage(IDD_PAGE_FINISH), m_run(run) {}

BOOL CMyPropertyPage3::OnSetActive() {
    // Next is enabled only at the worker's end, so m_bUpdated is settled here.
    if (!m_run.m_bUpdated) {
        SetDlgItemTextA(GetSafeHwnd(), IDC_STATUS,
                        "新版本已下载,但未完成更新,将在下一次启动升级程序时再尝试更新.");
    }
    SetWizardButtons(PSWIZB_FINISH_BUTTON);
    return WizardPage::OnSetActive();
}
