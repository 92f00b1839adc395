#include "ui/dialog_colors.h"

#include <commctrl.h>

namespace ui {
namespace {

// Set once on the UI thread before any dialog exists; read-only afterwards.
HBRUSH g_background = nullptr;
COLORREF g_backgroundColour = 0;
COLORREF g_textColour = 0;
thread_local HHOOK t_hook = nullptr;

constexpr UINT_PTR kSubclassId = 0x4C4B5344;  // "LKSD"

LRESULT CALLBACK ColouredDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR) {
    switch (message) {
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, g_textColour);
            SetBkColor(dc, g_backgroundColour);
            // The sunken sidebar picture is shrunk by its border; the default
            // stretch mode leaves stray dots in it under some systems.
            SetStretchBltMode(dc, COLORONCOLOR);
            return reinterpret_cast<LRESULT>(g_background);
        }
        case WM_NCDESTROY: RemoveWindowSubclass(window, ColouredDialogProc, kSubclassId); break;
        default: break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Every dialog (window class "#32770": pages, the sheet, message boxes) made
// on a hooked thread is subclassed as it is created.
LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[16] = {};
        if (GetClassNameA(window, className, sizeof className) > 0 &&
            lstrcmpA(className, "#32770") == 0) {
            SetWindowSubclass(window, ColouredDialogProc, kSubclassId, 0);
        }
    }
    return CallNextHookEx(t_hook, code, wParam, lParam);
}

}  // namespace

void SetDialogBkColor(COLORREF background, COLORREF text) {
    if (!g_background) {
        g_backgroundColour = background;
        g_textColour = text;
        g_background = CreateSolidBrush(background);
    }
    HookDialogColorsOnThisThread();
}

void HookDialogColorsOnThisThread() {
    if (g_background && !t_hook) {
        t_hook = SetWindowsHookExA(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
    }
}

void UnhookDialogColorsOnThisThread() {
    if (t_hook) {
        UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
    }
}

}  // namespace ui
