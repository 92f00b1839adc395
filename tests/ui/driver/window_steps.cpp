// Steps on top-level windows found by title (the wizard's by default).

#include "commands.h"
#include "output.h"
#include "probe_client.h"
#include "window_lookup.h"

#include <vector>

namespace driver {
namespace {

bool ScreenColour(HWND window, long x, long y, COLORREF* colour) {
    POINT point = {x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    *colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return *colour != CLR_INVALID;
}

int PrintScreenColour(HWND window, long x, long y) {
    COLORREF colour = 0;
    if (!ScreenColour(window, x, y, &colour)) {
        return Fail("the screen cannot be read");
    }
    Print("colour", std::to_string(GetRValue(colour)) + " " + std::to_string(GetGValue(colour)) +
                        " " + std::to_string(GetBValue(colour)));
    return 0;
}

// Optional words i and i + 1 as a point; false when one is given and no number.
bool PointArgs(const Args& args, size_t i, long* x, long* y) {
    return !(args.Has(i) && !ParseNumber(args.words[i], x)) &&
           !(args.Has(i + 1) && !ParseNumber(args.words[i + 1], y));
}

// The wait steps on the window titled by word 0: polls `holds(title)` for
// word 1's longest wait; when it never held, `report(title, ms)` says so.
template <typename Holds, typename Report>
int WaitOnTitle(const Args& args, Holds holds, Report report) {
    DWORD ms;
    if (!WaitArg(args, 1, &ms)) {
        return kBadUsage;
    }
    const wchar_t* title = args.Title(0);
    return PollUntil(ms, [&] { return holds(title); }) ? 0 : report(Utf8(title).c_str(), ms);
}

}  // namespace

int WaitWindow(const Args& args) {
    HWND window = nullptr;
    int status = WaitOnTitle(
        args, [&](const wchar_t* title) { return (window = FindShown(title)) != nullptr; },
        [](const char* title, DWORD ms) {
            return Fail("no shown window \"%s\" within %lu ms", title, ms);
        });
    if (status == 0) {
        PrintWindowFacts(window);
    }
    return status;
}

int WaitGone(const Args& args) {
    return WaitOnTitle(
        args, [](const wchar_t* title) { return FindWindowW(nullptr, title) == nullptr; },
        [](const char* title, DWORD ms) {
            return Fail("window \"%s\" still there after %lu ms", title, ms);
        });
}

int State(const Args& args) {
    HWND window = WindowOrSay(args.Title(0));
    if (!window) {
        return 1;
    }
    PrintNumber("visible", IsWindowVisible(window) ? 1 : 0);
    PrintNumber("iconic", IsIconic(window) ? 1 : 0);
    PrintNumber("enabled", IsWindowEnabled(window) ? 1 : 0);
    PrintNumber("foreground", GetForegroundWindow() == window ? 1 : 0);
    return 0;
}

// Another program's SetForegroundWindow takes effect when the window's
// thread gets to it: poll.
int WaitForeground(const Args& args) {
    return WaitOnTitle(
        args,
        [](const wchar_t* title) {
            HWND window = FindShown(title);
            return window && GetForegroundWindow() == window;
        },
        [](const char* title, DWORD ms) {
            return Fail("\"%s\" not shown in the foreground within %lu ms", title, ms);
        });
}

int Hide(const Args& args) {
    TakenWindow taken = TakeWindowAndWait(args);
    if (taken.status) {
        return taken.status;
    }
    // Asynchronous: a busy window must not hold the driver.
    ShowWindowAsync(taken.window, SW_HIDE);
    if (!PollUntil(taken.ms, [&] { return !IsWindowVisible(taken.window); })) {
        return Fail("the window is still shown after %lu ms", taken.ms);
    }
    return 0;
}

// The colour on screen at client point (x, y) of the window: what a user sees
// there, the dialog's background unless a control covers it.
int Colour(const Args& args) {
    long x = 2;
    long y = 2;
    if (!PointArgs(args, 1, &x, &y)) {
        return kBadUsage;
    }
    HWND window = WindowOrSay(args.Title(0));
    if (!window) {
        return 1;
    }
    return PrintScreenColour(window, x, y);
}

// The same for the wizard's current page; by default just inside its
// bottom-right corner, where the pages have no control.
int PageColour(const Args& args) {
    HWND page = PageOrSay();
    if (!page) {
        return 1;
    }
    RECT client = {};
    GetClientRect(page, &client);
    long x = client.right - 3;
    long y = client.bottom - 3;
    if (!PointArgs(args, 0, &x, &y)) {
        return kBadUsage;
    }
    return PrintScreenColour(page, x, y);
}

int SysMenu(const Args& args) {
    HWND window = WindowOrSay(args.Title(0));
    if (!window) {
        return 1;
    }
    // Read in the window's own process: Wine cannot read another process's menus.
    std::vector<std::wstring> items;
    std::string error;
    if (!ReadRemoteSystemMenu(window, kDefaultWaitMs, &items, &error)) {
        return Fail("system menu: %s", error.c_str());
    }
    for (const std::wstring& item : items) {
        Print("item", item);
    }
    return 0;
}

}  // namespace driver
