// The updater's only top-level window: a modal wizard-mode property sheet
// holding the three pages, with the application icon, a light-blue fill, a
// minimise box and "restore" / "minimise" at the top of the system menu.
#pragma once

#ifdef _WIN32

#include "app/update_settings.h"
#include "ui/finish_page.h"
#include "ui/progress_page.h"
#include "ui/server_page.h"

#include <windows.h>
#include <commctrl.h>

class CMyPropertySheet {
public:
    // `settings` are read and written by the pages; they outlive the sheet.
    explicit CMyPropertySheet(UpdateSettings& settings, HWND parent = nullptr);
    ~CMyPropertySheet();
    CMyPropertySheet(const CMyPropertySheet&) = delete;
    CMyPropertySheet& operator=(const CMyPropertySheet&) = delete;

    // Runs the wizard until Finish, Cancel or the window is closed.
    INT_PTR DoModal();

    HWND GetSafeHwnd() const { return m_hWnd; }
    CMyPropertyPage2& ProgressPage() { return m_page2; }

    PROPSHEETHEADERA m_psh;  // the header DoModal hands to PropertySheetA

private:
    static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);
    void OnInitDialog();
    BOOL OnEraseBkgnd(HDC dc);

    HICON m_hIcon;
    CMyPropertyPage1 m_page1;
    CMyPropertyPage2 m_page2;
    CMyPropertyPage3 m_page3;
    PROPSHEETPAGEA m_pages[3];
    char m_caption[64];
    HWND m_hWnd = nullptr;
};

#endif
