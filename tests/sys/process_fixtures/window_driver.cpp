#include "window_driver.h"

#ifdef _WIN32

#include <algorithm>

namespace processtest {

namespace {

constexpr DWORD kPollStepMs = 20;

struct StaticSearch {
    std::string text;
    bool found = false;
};

BOOL CALLBACK TakeStaticText(HWND child, LPARAM context) {
    auto* search = reinterpret_cast<StaticSearch*>(context);
    char className[32] = "";
    GetClassNameA(child, className, sizeof(className));
    if (lstrcmpiA(className, "Static") != 0) {
        return TRUE;
    }
    int length = GetWindowTextLengthA(child);
    if (length <= 0) {
        return TRUE;  // the icon
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    int got = GetWindowTextA(child, buffer.data(), length + 1);
    search->text.assign(buffer.data(), static_cast<size_t>(got));
    search->found = true;
    return FALSE;
}

BOOL CALLBACK TakeVisibleButton(HWND child, LPARAM context) {
    char className[32] = "";
    GetClassNameA(child, className, sizeof(className));
    if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child)) {
        reinterpret_cast<std::vector<int>*>(context)->push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

HWND PollForWindow(const char* className, const char* title, DWORD timeoutMs, bool shown) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(className, title);
        if (window && (!shown || IsWindowVisible(window))) {
            return window;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return nullptr;
        }
        Sleep(kPollStepMs);
    }
}

}  // namespace

HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs) {
    return PollForWindow(className, title, timeoutMs, false);
}

HWND WaitForShownWindow(const char* className, const char* title, DWORD timeoutMs) {
    return PollForWindow(className, title, timeoutMs, true);
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        Sleep(kPollStepMs);
    }
    return true;
}

std::string MessageText(HWND dialog) {
    StaticSearch search;
    EnumChildWindows(dialog, TakeStaticText, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

std::vector<int> VisibleButtons(HWND dialog) {
    std::vector<int> ids;
    EnumChildWindows(dialog, TakeVisibleButton, reinterpret_cast<LPARAM>(&ids));
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool PressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) {
        return false;
    }
    PostMessageA(button, BM_CLICK, 0, 0);
    return true;
}

}  // namespace processtest

#endif
