// A page of the wizard sheet: the dialog procedure that routes the sheet's
// notifications and the controls' commands to virtual handlers, and the data
// exchange between members and controls.
#pragma once

#ifdef _WIN32

#include "ui/data_exchange.h"

#include <windows.h>
#include <commctrl.h>

namespace ui {

class WizardPage {
public:
    explicit WizardPage(int templateId) : m_templateId(templateId) {}
    virtual ~WizardPage() = default;
    WizardPage(const WizardPage&) = delete;
    WizardPage& operator=(const WizardPage&) = delete;

    // Describes the page to PropertySheetA.
    void FillPage(PROPSHEETPAGEA& page, HINSTANCE instance);

    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    // Moves the members into the controls (false) or the controls into the
    // members (true). Control notifications raised meanwhile are not handled.
    bool UpdateData(bool saveAndValidate = true);
    virtual void DoDataExchange(DataExchange&) {}

    // The page becomes the current one; false refuses it.
    virtual BOOL OnSetActive();
    // The user leaves the page; false keeps it.
    virtual BOOL OnKillActive();
    // A control's WM_COMMAND notification; true when handled.
    virtual bool OnCommand(int, int) { return false; }
    // Any other message; true when handled, with `result` the dialog result.
    virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    // Posts PSM_SETWIZBUTTONS with `flags` to the sheet.
    void SetWizardButtons(unsigned flags);
    // Sends PSM_SETWIZBUTTONS with none: Back, Next and Finish are off when
    // this returns. Also posts it, for a sheet that sets the buttons again
    // once the page's activation is over.
    void DisableWizardButtonsNow();

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnNotify(const NMHDR& header);

    int m_templateId;
    HWND m_hWnd = nullptr;
    bool m_bFirstSetActive = true;
    bool m_bExchanging = false;
};

}  // namespace ui

#endif
