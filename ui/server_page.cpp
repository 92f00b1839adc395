#include "ui/server_page.h"

#include "engine/update_display.h"
#include "ui/resources/resource.h"

CMyPropertyPage1::CMyPropertyPage1(UpdateSettings& settings)
    : WizardPage(IDD_PAGE_SERVER), m_settings(settings) {}

void CMyPropertyPage1::DoDataExchange(ui::DataExchange& exchange) {
    exchange.Text(IDC_EDIT_SERVER, m_strServer);
    exchange.Radio(IDC_RADIO_ONLINE, m_nServerType);
}

BOOL CMyPropertyPage1::OnSetActive() {
    m_nServerType = m_settings.m_bUseHost ? 1 : 0;
    m_strServer = m_settings.m_strUpdateHost;
    if (m_nServerType == 1) {
        EnableServerInput(true);
    }
    SetWizardButtons(PSWIZB_NEXT_BUTTON);
    UpdateData(false);
    return WizardPage::OnSetActive();
}

BOOL CMyPropertyPage1::OnKillActive() {
    UpdateData(true);
    m_settings.m_bUseHost = m_nServerType != 0;
    // Kept whichever server was chosen; page 2 looks at it only for a local one.
    m_settings.m_strUpdateHost = m_strServer;
    return WizardPage::OnKillActive();
}

bool CMyPropertyPage1::OnCommand(int id, int code) {
    if (id == IDC_RADIO_ONLINE && code == BN_CLICKED) {
        OnRadioOnline();
        return true;
    }
    if (id == IDC_RADIO_LOCAL && code == BN_CLICKED) {
        OnRadioLocal();
        return true;
    }
    if (id == IDC_EDIT_SERVER && code == EN_CHANGE) {
        OnChangeServer();
        return true;
    }
    return false;
}

void CMyPropertyPage1::OnRadioOnline() {
    EnableServerInput(false);  // the edit keeps its text
    SetWizardButtons(PSWIZB_NEXT_BUTTON);
}

void CMyPropertyPage1::OnRadioLocal() {
    EnableServerInput(true);
    OnChangeServer();
}

void CMyPropertyPage1::OnChangeServer() {
    UpdateData(true);
    // Any text counts, blanks included: the name is not checked here.
    SetWizardButtons(m_strServer.empty() ? PSWIZB_NONE : PSWIZB_NEXT_BUTTON);
}

void CMyPropertyPage1::EnableServerInput(bool enable) {
    EnableWindow(GetDlgItem(IDC_STATIC_SERVER), enable);
    EnableWindow(GetDlgItem(IDC_EDIT_SERVER), enable);
}
