#include "window_lookup.h"

#include "output.h"

#include <commctrl.h>

#include <vector>

namespace driver {
namespace {

constexpr DWORD kSendTimeoutMs = 5000;
constexpr DWORD kMaxText = 32768;  // characters read from one control, NUL included

}  // namespace

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &value)) {
        return false;
    }
    *result = static_cast<LRESULT>(value);
    return true;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window) {
    LRESULT length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length) || length <= 0) {
        return {};
    }
    DWORD size =
        static_cast<DWORD>(length) + 1 < kMaxText ? static_cast<DWORD>(length) + 1 : kMaxText;
    std::vector<wchar_t> buffer(size, L'\0');
    LRESULT got = 0;
    if (!Send(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer.data()), &got)) {
        return {};
    }
    buffer[size - 1] = L'\0';
    return buffer.data();
}

std::wstring TitleOf(HWND window) {
    wchar_t title[512] = L"";
    InternalGetWindowText(window, title, 512);
    return title;
}

std::wstring ProcessImage(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) {
        return {};
    }
    wchar_t path[MAX_PATH * 4] = L"";
    DWORD size = MAX_PATH * 4;
    if (!QueryFullProcessImageNameW(process, 0, path, &size)) {
        path[0] = L'\0';
    }
    CloseHandle(process);
    return path;
}

void PrintWindowFacts(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    Print("hwnd", std::to_string(reinterpret_cast<UINT_PTR>(window)));
    PrintNumber("pid", pid);
    Print("exe", ProcessImage(pid));
    Print("class", ClassOf(window));
    Print("title", TitleOf(window));
}

bool Usable(HWND window) { return window && IsWindowVisible(window) && IsWindowEnabled(window); }

bool IsImageStatic(HWND control) {
    LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK;
    return ClassOf(control) == L"Static" &&
           (type == SS_BITMAP || type == SS_ICON || type == SS_ENHMETAFILE);
}

HWND FindShown(const wchar_t* title) {
    HWND window = FindWindowW(nullptr, title);
    return window && IsWindowVisible(window) ? window : nullptr;
}

HWND FindSheet() {
    HWND sheet = FindWindowW(L"#32770", kWizardTitle);
    return sheet && FindWindowExW(sheet, nullptr, L"SysTabControl32", nullptr) ? sheet : nullptr;
}

HWND CurrentPage(HWND sheet) {
    LRESULT page = 0;
    if (!Send(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, &page)) {
        return nullptr;
    }
    return reinterpret_cast<HWND>(page);
}

namespace {

// Control `id` of the current page, or null with the reason in *error.
HWND LookUpPageControl(int id, const char** error) {
    HWND sheet = FindSheet();
    if (!sheet) {
        *error = "no wizard window";
        return nullptr;
    }
    HWND page = CurrentPage(sheet);
    if (!page) {
        *error = "the wizard names no current page";
        return nullptr;
    }
    HWND control = GetDlgItem(page, id);
    if (!control) {
        *error = "the current page has no such control";
    }
    return control;
}

}  // namespace

HWND FindPageControl(int id) {
    const char* error = "";
    return LookUpPageControl(id, &error);
}

HWND WindowOrSay(const wchar_t* title) {
    HWND window = FindWindowW(nullptr, title);
    if (!window) {
        Fail("no window \"%s\"", Utf8(title).c_str());
    }
    return window;
}

HWND SheetOrSay() {
    HWND sheet = FindSheet();
    if (!sheet) {
        Fail("no wizard window");
    }
    return sheet;
}

HWND PageOrSay() {
    HWND sheet = FindSheet();
    HWND page = sheet ? CurrentPage(sheet) : nullptr;
    if (!page) {
        Fail("no wizard page");
    }
    return page;
}

HWND PageControlOrSay(int id, const char* noun) {
    const char* error = "";
    HWND control = LookUpPageControl(id, &error);
    if (!control) {
        Fail("%s %d: %s", noun, id, error);
    }
    return control;
}

TakenWindow TakeWindowAndWait(const Args& args) {
    TakenWindow taken;
    if (!WaitArg(args, 1, &taken.ms)) {
        taken.status = kBadUsage;
        return taken;
    }
    taken.window = WindowOrSay(args.Title(0));
    taken.status = taken.window ? 0 : 1;
    return taken;
}

TakenControl TakeControl(const Args& args, size_t i, const char* noun) {
    TakenControl taken;
    if (!ControlId(args, i, &taken.id)) {
        taken.status = kBadUsage;
        return taken;
    }
    taken.control = PageControlOrSay(taken.id, noun);
    taken.status = taken.control ? 0 : 1;
    return taken;
}

std::string UsableButtons(HWND dialog, const NamedButton* buttons, size_t count) {
    std::string names;
    for (size_t i = 0; i < count; ++i) {
        if (Usable(GetDlgItem(dialog, buttons[i].id))) {
            names += names.empty() ? "" : ",";
            names += buttons[i].name;
        }
    }
    return names;
}

int ButtonId(const std::wstring& name, const NamedButton* buttons, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (Utf8(name) == buttons[i].name) {
            return buttons[i].id;
        }
    }
    return 0;
}

}  // namespace driver
