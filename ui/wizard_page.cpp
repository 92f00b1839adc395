#include "ui/wizard_page.h"

namespace ui {

void WizardPage::FillPage(PROPSHEETPAGEA& page, HINSTANCE instance) {
    page = {};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEA(m_templateId);
    page.pfnDlgProc = DialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
}

bool WizardPage::UpdateData(bool saveAndValidate) {
    // Filling an edit raises EN_CHANGE at once; it is the page's own doing,
    // not the user's, so its handler must not run.
    bool wasExchanging = m_bExchanging;
    m_bExchanging = true;
    DataExchange exchange(m_hWnd, saveAndValidate);
    DoDataExchange(exchange);
    m_bExchanging = wasExchanging;
    return true;
}

BOOL WizardPage::OnSetActive() {
    // Controls were filled when the page was made; refresh them on later visits.
    if (m_bFirstSetActive) {
        m_bFirstSetActive = false;
    } else {
        UpdateData(false);
    }
    return TRUE;
}

BOOL WizardPage::OnKillActive() { return UpdateData(true) ? TRUE : FALSE; }

void WizardPage::SetWizardButtons(unsigned flags) {
    PostMessageA(GetParent(m_hWnd), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

void WizardPage::DisableWizardButtonsNow() {
    SendMessageA(GetParent(m_hWnd), PSM_SETWIZBUTTONS, 0, 0);
    SetWizardButtons(0);
}

INT_PTR WizardPage::OnNotify(const NMHDR& header) {
    switch (header.code) {
        case PSN_SETACTIVE: return OnSetActive() ? 0 : -1;
        case PSN_KILLACTIVE: return OnKillActive() ? FALSE : TRUE;
        default: return 0;
    }
}

INT_PTR CALLBACK WizardPage::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* page = reinterpret_cast<WizardPage*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        page = reinterpret_cast<WizardPage*>(sheetPage->lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        page->m_hWnd = dialog;
        page->UpdateData(false);
        return TRUE;
    }
    if (!page) {
        return FALSE;
    }
    switch (message) {
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom != GetParent(dialog)) {
                break;  // a control's notification
            }
            switch (header->code) {
                case PSN_SETACTIVE:
                case PSN_KILLACTIVE:
                    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, page->OnNotify(*header));
                    return TRUE;
                default: break;
            }
            break;
        }
        case WM_COMMAND:
            if (lParam != 0 && !page->m_bExchanging &&
                page->OnCommand(LOWORD(wParam), HIWORD(wParam))) {
                return TRUE;
            }
            break;
        default: break;
    }
    INT_PTR result = 0;
    if (page->OnMessage(message, wParam, lParam, &result)) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}

}  // namespace ui
