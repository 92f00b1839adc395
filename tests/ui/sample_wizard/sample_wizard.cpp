// lks-sample-wizard: a two-page wizard with the updater's title and the kinds
// of controls the driver reads, whose contents the driver's test knows. Its
// controls report what the driver did to them in the status text.

#include "sample_wizard.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

constexpr wchar_t kTitle[] = L"Larkspan Office 升级程序";

void SetStatus(HWND page, const std::wstring& text) {
    SetDlgItemTextW(page, IDC_SAMPLE_STATUS, text.c_str());
}

void FillFirstPage(HWND page) {
    HWND list = GetDlgItem(page, IDC_SAMPLE_LIST);
    const wchar_t* headings[] = {L"文件名", L"大小(字节)", L"状态"};
    for (int c = 0; c < 3; ++c) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 70;
        column.pszText = const_cast<wchar_t*>(headings[c]);
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c),
                     reinterpret_cast<LPARAM>(&column));
    }
    const wchar_t* rows[2][3] = {{L"a.txt", L"10", L"完成"}, {L"说明.txt", L"2048", L"下载中"}};
    for (int r = 0; r < 2; ++r) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = r;
        item.pszText = const_cast<wchar_t*>(rows[r][0]);
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        for (int c = 1; c < 3; ++c) {
            item.iSubItem = c;
            item.pszText = const_cast<wchar_t*>(rows[r][c]);
            SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(r),
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    HWND bar = GetDlgItem(page, IDC_SAMPLE_BAR);
    SendMessageW(bar, PBM_SETRANGE32, 0, 250);
    SendMessageW(bar, PBM_SETPOS, 42, 0);
    CheckRadioButton(page, IDC_SAMPLE_RADIO_A, IDC_SAMPLE_RADIO_B, IDC_SAMPLE_RADIO_A);
}

void OnCommand(HWND page, int id, int code) {
    if (id == IDC_SAMPLE_EDIT && code == EN_CHANGE) {
        wchar_t text[128] = L"";
        GetDlgItemTextW(page, IDC_SAMPLE_EDIT, text, 128);
        SetStatus(page, std::wstring(L"changed:") + text);
    } else if ((id == IDC_SAMPLE_RADIO_A || id == IDC_SAMPLE_RADIO_B) && code == BN_CLICKED) {
        SetStatus(page, L"radio:" + std::to_wstring(id));
    } else if (id == IDC_SAMPLE_ASK && code == BN_CLICKED) {
        int answer = MessageBoxW(GetParent(page), L"继续吗？", L"lks-sample", MB_OKCANCEL);
        SetStatus(page, answer == IDOK ? L"ok" : L"cancel");
    }
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* sheetPage = reinterpret_cast<PROPSHEETPAGEW*>(lParam);
            SetWindowLongPtrW(page, GWLP_USERDATA, sheetPage->lParam);
            if (sheetPage->lParam == 0) {
                FillFirstPage(page);
            }
            return TRUE;
        }
        case WM_COMMAND: OnCommand(page, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_NOTIFY:
            if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_SETACTIVE) {
                bool first = GetWindowLongPtrW(page, GWLP_USERDATA) == 0;
                PostMessageW(GetParent(page), PSM_SETWIZBUTTONS, 0,
                             first ? PSWIZB_NEXT : PSWIZB_BACK | PSWIZB_FINISH);
                SetWindowLongPtrW(page, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED) {
        HMENU menu = GetSystemMenu(sheet, FALSE);
        InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, 0x7000, L"样本(&S)");
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    PROPSHEETPAGEW pages[2] = {};
    for (int i = 0; i < 2; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].hInstance = instance;
        pages[i].pszTemplate = MAKEINTRESOURCEW(i == 0 ? IDD_SAMPLE_FIRST : IDD_SAMPLE_SECOND);
        pages[i].pfnDlgProc = PageProc;
        pages[i].lParam = i;
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_USECALLBACK;
    header.hInstance = instance;
    header.pszCaption = kTitle;
    header.nPages = 2;
    header.ppsp = pages;
    header.pfnCallback = SheetCallback;
    PropertySheetW(&header);
    return 0;
}
