#include "ui/my_property_sheet.h"

#include "ui/dialog_colors.h"
#include "ui/resources/resource.h"

namespace {

constexpr UINT_PTR kSheetSubclassId = 1;

// PropertySheetA's callback carries no user data: the sheet being run is
// kept here, on the UI thread, for the moment its window is made.
CMyPropertySheet* g_pStarting = nullptr;

}  // namespace

CMyPropertySheet::CMyPropertySheet(UpdateSettings& settings, HWND parent)
    : m_psh(), m_page1(settings), m_page2(settings), m_page3(m_page2) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (LoadStringA(instance, IDS_WIZARD_CAPTION, m_caption, sizeof m_caption) <= 0) {
        m_caption[0] = '\0';
    }
    m_hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));

    m_page1.FillPage(m_pages[0], instance);
    m_page2.FillPage(m_pages[1], instance);
    m_page3.FillPage(m_pages[2], instance);

    m_psh.dwSize = sizeof m_psh;
    m_psh.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_WIZARD;
    m_psh.hwndParent = parent;
    m_psh.hInstance = instance;
    m_psh.pszCaption = m_caption;
    m_psh.nPages = 3;
    m_psh.nStartPage = 0;
    m_psh.ppsp = m_pages;
    m_psh.pfnCallback = SheetCallback;
    m_psh.dwFlags &= ~PSH_HASHELP;
}

// LoadIcon's icon is shared by the module: it is never destroyed.
CMyPropertySheet::~CMyPropertySheet() = default;

INT_PTR CMyPropertySheet::DoModal() {
    g_pStarting = this;
    INT_PTR result = PropertySheetA(&m_psh);
    g_pStarting = nullptr;
    m_hWnd = nullptr;
    return result;
}

int CALLBACK CMyPropertySheet::SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && g_pStarting) {
        CMyPropertySheet* self = g_pStarting;
        self->m_hWnd = sheet;
        SetWindowSubclass(sheet, SheetProc, kSheetSubclassId, reinterpret_cast<DWORD_PTR>(self));
        self->OnInitDialog();
    }
    return 0;
}

void CMyPropertySheet::OnInitDialog() {
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    SetWindowLongA(m_hWnd, GWL_STYLE, GetWindowLongA(m_hWnd, GWL_STYLE) | WS_MINIMIZEBOX);

    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    if (menu) {
        InsertMenuA(menu, 0, MF_BYPOSITION | MF_STRING, SC_MINIMIZE, "最小化(&N)");
        InsertMenuA(menu, 0, MF_BYPOSITION | MF_STRING, SC_RESTORE, "还原(&R)");
    }

    HWND help = GetDlgItem(m_hWnd, IDHELP);
    if (help) {
        ShowWindow(help, SW_HIDE);
    }
}

BOOL CMyPropertySheet::OnEraseBkgnd(HDC dc) {
    RECT client;
    GetClientRect(m_hWnd, &client);
    HBRUSH fill = CreateSolidBrush(ui::kDialogBackground);
    FillRect(dc, &client, fill);
    DeleteObject(fill);
    return TRUE;
}

LRESULT CALLBACK CMyPropertySheet::SheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CMyPropertySheet*>(data);
    switch (message) {
        case WM_SYSCOMMAND:
            // Exactly SC_MINIMIZE, the low four bits included: the menu item
            // and the title-bar button both send that.
            if (wParam == SC_MINIMIZE) {
                ShowWindow(sheet, SW_SHOWMINIMIZED);
                return 0;
            }
            break;
        case WM_ERASEBKGND: return self->OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        case WM_NCDESTROY: RemoveWindowSubclass(sheet, SheetProc, kSheetSubclassId); break;
        default: break;
    }
    return DefSubclassProc(sheet, message, wParam, lParam);
}
