// lks-wizard-driver: plays the user at the updater's wizard, which runs in
// another process, one step per run, for the start-up tests and the demo.
// Prints what it reads as UTF-8 "key value" lines on stdout; every wait has a
// bound; exits 0 on success, 1 when a step fails or a wait runs out, 2 on bad
// usage.

#include "probe_client.h"
#include "remote_buffer.h"
#include "wizard_probe.h"

#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kWizardTitle[] = L"Larkspan Office 升级程序";
constexpr wchar_t kMutexName[] = L"VTRX_AUTOUPDATE_MUTEX";
constexpr int kListId = 1001;
constexpr int kBackId = 12323;
constexpr int kNextId = 12324;
constexpr int kFinishId = 12325;
constexpr DWORD kDefaultWaitMs = 10000;
constexpr DWORD kSendTimeoutMs = 5000;
constexpr DWORD kPollStepMs = 20;
constexpr DWORD kMaxText = 32768;  // characters read from one control, NUL included

constexpr char kUsage[] =
    "usage: lks-wizard-driver COMMAND [ARGS]   (TITLE \"\" is the wizard's; ms: longest wait)\n"
    "  wait-window [TITLE [ms]]      a shown top-level window: hwnd, pid, exe, class\n"
    "  wait-gone [TITLE [ms]]        until no top-level window has the title\n"
    "  state [TITLE]                 visible, iconic, enabled, foreground (1/0)\n"
    "  wait-foreground [TITLE [ms]]  until the window is shown and in the foreground\n"
    "  hide [TITLE [ms]]             hides the window (out of the user's sight)\n"
    "  colour [TITLE [X Y]]          \"R G B\" on screen at client point X,Y (2,2)\n"
    "  page-colour [X Y]             the same on the current page (default: its bottom right)\n"
    "  kill [TITLE [ms]]             ends the window's process by its handle\n"
    "  end-process PID [ms]          ends that process by its handle\n"
    "  page-text ID                  text of control ID on the wizard's current page\n"
    "  wait-text ID TEXT [ms]        until that text is TEXT\n"
    "  enabled ID                    1/0 for control ID on the page\n"
    "  wait-enabled ID 1|0 [ms]      until it is (not) enabled\n"
    "  radio ID                      1/0: the button is checked\n"
    "  set-text ID TEXT              WM_SETTEXT to an edit on the page (raises EN_CHANGE)\n"
    "  click ID                      clicks a button on the page\n"
    "  controls                      the current page's controls: id, class, state, text\n"
    "  buttons                       the wizard's buttons that are shown and enabled\n"
    "  wait-buttons LIST [ms]        until exactly LIST (\"back,next,cancel\") are\n"
    "  press back|next|finish|cancel presses an enabled wizard button\n"
    "  press-watch BUTTON [ms]       presses it; the buttons usable when the next page's\n"
    "                                activation handler returned, before the sheet went on\n"
    "  list                          list view 1001 of the page: columns, then rows\n"
    "  bar ID                        progress bar ID of the page: range and position\n"
    "  message-box [TITLE [ms]]      a message box of another program: caption, text, buttons\n"
    "  box-icon [TITLE [ms]]         the icon of that message box: exclamation, question,\n"
    "                                error, information, none or other\n"
    "  answer ok|cancel|yes|no [TITLE [ms]]  presses its button, waits until it is gone\n"
    "  sysmenu [TITLE]               the window's system menu items, in order\n"
    "  mutex                         whether the updater's mutex exists\n"
    "  wait-mutex present|absent [ms]  until it is so\n"
    "  hold-mutex [ms]               holds the mutex until stdin ends (or ms pass)\n"
    "  hold-desktop [ms]             keeps Wine's desktop open until stdin ends (or ms pass)\n"
    "  decoy TITLE [ms]              a window of its own in the foreground until stdin ends\n"
    "  processes NAME                running processes of that program file name\n"
    "  wait-processes NAME COUNT [ms]  until exactly COUNT of them run\n";

// --- output --------------------------------------------------------------

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                            nullptr, nullptr);
    }
    return out;
}

// Line breaks inside a value would split the "key value" line.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\t') {
            c = ' ';
        }
    }
    return text;
}

void Print(const char* key, const std::string& value) {
    std::string line = std::string(key) + " " + value + "\n";
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
}

void Print(const char* key, const std::wstring& value) { Print(key, OneLine(Utf8(value))); }

void PrintNumber(const char* key, long long value) { Print(key, std::to_string(value)); }

int Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fputs("lks-wizard-driver: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    return 1;
}

// --- arguments -------------------------------------------------------------

struct Args {
    std::vector<std::wstring> words;  // after the command

    bool Has(size_t i) const { return i < words.size(); }
    const wchar_t* Title(size_t i) const {
        return Has(i) && !words[i].empty() ? words[i].c_str() : kWizardTitle;
    }
};

bool ParseNumber(const std::wstring& text, long* value) {
    if (text.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    long n = wcstol(text.c_str(), &end, 10);
    if (*end != L'\0') {
        return false;
    }
    *value = n;
    return true;
}

bool WaitArg(const Args& args, size_t i, DWORD* ms) {
    *ms = kDefaultWaitMs;
    if (!args.Has(i)) {
        return true;
    }
    long n = 0;
    if (!ParseNumber(args.words[i], &n) || n < 0) {
        return false;
    }
    *ms = static_cast<DWORD>(n);
    return true;
}

// --- waiting ---------------------------------------------------------------

// Polls `condition` in short steps until it holds or `ms` have passed; it is
// always asked once more at the end, so a zero bound still looks once.
template <typename Condition>
bool PollUntil(DWORD ms, Condition condition) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= ms) {
            return condition();
        }
        Sleep(kPollStepMs);
    }
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &value)) {
        return false;
    }
    *result = static_cast<LRESULT>(value);
    return true;
}

// --- windows and processes -------------------------------------------------

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

// The window text as the window itself answers WM_GETTEXT (an edit's
// contents, a static's text); empty when it does not answer in time.
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

// The title as the system keeps it (no message sent).
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

void PrintWindow(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    Print("hwnd", std::to_string(reinterpret_cast<UINT_PTR>(window)));
    PrintNumber("pid", pid);
    Print("exe", ProcessImage(pid));
    Print("class", ClassOf(window));
    Print("title", TitleOf(window));
}

HWND FindShown(const wchar_t* title) {
    HWND window = FindWindowW(nullptr, title);
    return window && IsWindowVisible(window) ? window : nullptr;
}

// The wizard: a dialog with the wizard's title that holds pages.
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

// Control `id` of the current page, or null with the reason in *error.
HWND PageControl(int id, const char** error) {
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

bool Usable(HWND window) { return window && IsWindowVisible(window) && IsWindowEnabled(window); }

// Top-level dialogs of other programs that are not property sheets.
struct BoxSearch {
    const wchar_t* title;  // null: any
    HWND found;
};

BOOL CALLBACK TakeMessageBox(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<BoxSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() || !IsWindowVisible(window) || ClassOf(window) != L"#32770" ||
        FindWindowExW(window, nullptr, L"SysTabControl32", nullptr)) {
        return TRUE;
    }
    if (search->title && TitleOf(window) != search->title) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND FindMessageBox(const wchar_t* title) {
    BoxSearch search = {title, nullptr};
    EnumWindows(TakeMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// An image static (a message box's icon, a page's bitmap) answers WM_GETTEXT
// with its resource id, not with a text.
bool IsImageStatic(HWND control) {
    LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK;
    return ClassOf(control) == L"Static" &&
           (type == SS_BITMAP || type == SS_ICON || type == SS_ENHMETAFILE);
}

BOOL CALLBACK TakeStaticText(HWND child, LPARAM context) {
    if (ClassOf(child) != L"Static" || IsImageStatic(child)) {
        return TRUE;
    }
    std::wstring text = TextOf(child);
    if (text.empty()) {
        return TRUE;
    }
    *reinterpret_cast<std::wstring*>(context) = text;
    return FALSE;
}

struct NamedButton {
    const char* name;
    int id;
};
constexpr NamedButton kBoxButtons[] = {
    {"ok", IDOK},       {"cancel", IDCANCEL}, {"yes", IDYES},       {"no", IDNO},
    {"abort", IDABORT}, {"retry", IDRETRY},   {"ignore", IDIGNORE},
};
constexpr NamedButton kSheetButtons[] = {
    {"back", kBackId}, {"next", kNextId}, {"finish", kFinishId}, {"cancel", IDCANCEL}};

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

std::string SheetButtons(HWND sheet) {
    return UsableButtons(sheet, kSheetButtons, sizeof kSheetButtons / sizeof kSheetButtons[0]);
}

int ButtonId(const std::wstring& name, const NamedButton* buttons, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (Utf8(name) == buttons[i].name) {
            return buttons[i].id;
        }
    }
    return 0;
}

// --- commands --------------------------------------------------------------

int WaitWindow(const Args& args) {
    DWORD ms;
    if (!WaitArg(args, 1, &ms)) {
        return 2;
    }
    const wchar_t* title = args.Title(0);
    HWND window = nullptr;
    if (!PollUntil(ms, [&] { return (window = FindShown(title)) != nullptr; })) {
        return Fail("no shown window \"%s\" within %lu ms", Utf8(title).c_str(), ms);
    }
    PrintWindow(window);
    return 0;
}

int WaitGone(const Args& args) {
    DWORD ms;
    if (!WaitArg(args, 1, &ms)) {
        return 2;
    }
    const wchar_t* title = args.Title(0);
    if (!PollUntil(ms, [&] { return FindWindowW(nullptr, title) == nullptr; })) {
        return Fail("window \"%s\" still there after %lu ms", Utf8(title).c_str(), ms);
    }
    return 0;
}

int State(const Args& args) {
    HWND window = FindWindowW(nullptr, args.Title(0));
    if (!window) {
        return Fail("no window \"%s\"", Utf8(args.Title(0)).c_str());
    }
    PrintNumber("visible", IsWindowVisible(window) ? 1 : 0);
    PrintNumber("iconic", IsIconic(window) ? 1 : 0);
    PrintNumber("enabled", IsWindowEnabled(window) ? 1 : 0);
    PrintNumber("foreground", GetForegroundWindow() == window ? 1 : 0);
    return 0;
}

int WaitForeground(const Args& args) {
    DWORD ms;
    if (!WaitArg(args, 1, &ms)) {
        return 2;
    }
    const wchar_t* title = args.Title(0);
    // Another program's SetForegroundWindow takes effect when the window's
    // thread gets to it: poll.
    if (!PollUntil(ms, [&] {
            HWND window = FindShown(title);
            return window && GetForegroundWindow() == window;
        })) {
        return Fail("\"%s\" not shown in the foreground within %lu ms", Utf8(title).c_str(), ms);
    }
    return 0;
}

int Hide(const Args& args) {
    DWORD ms;
    if (!WaitArg(args, 1, &ms)) {
        return 2;
    }
    HWND window = FindWindowW(nullptr, args.Title(0));
    if (!window) {
        return Fail("no window \"%s\"", Utf8(args.Title(0)).c_str());
    }
    // Asynchronous: a busy window must not hold the driver.
    ShowWindowAsync(window, SW_HIDE);
    if (!PollUntil(ms, [&] { return !IsWindowVisible(window); })) {
        return Fail("the window is still shown after %lu ms", ms);
    }
    return 0;
}

bool ScreenColour(HWND window, long x, long y, COLORREF* colour) {
    POINT point = {x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    *colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return *colour != CLR_INVALID;
}

void PrintColour(COLORREF colour) {
    Print("colour", std::to_string(GetRValue(colour)) + " " + std::to_string(GetGValue(colour)) +
                        " " + std::to_string(GetBValue(colour)));
}

// The colour on screen at client point (x, y) of the window: what a user sees
// there, the dialog's background unless a control covers it.
int Colour(const Args& args) {
    long x = 2;
    long y = 2;
    if ((args.Has(1) && !ParseNumber(args.words[1], &x)) ||
        (args.Has(2) && !ParseNumber(args.words[2], &y))) {
        return 2;
    }
    HWND window = FindWindowW(nullptr, args.Title(0));
    if (!window) {
        return Fail("no window \"%s\"", Utf8(args.Title(0)).c_str());
    }
    COLORREF colour = 0;
    if (!ScreenColour(window, x, y, &colour)) {
        return Fail("the screen cannot be read");
    }
    PrintColour(colour);
    return 0;
}

// The same for the wizard's current page; by default just inside its
// bottom-right corner, where the pages have no control.
int PageColour(const Args& args) {
    HWND sheet = FindSheet();
    HWND page = sheet ? CurrentPage(sheet) : nullptr;
    if (!page) {
        return Fail("no wizard page");
    }
    RECT client = {};
    GetClientRect(page, &client);
    long x = client.right - 3;
    long y = client.bottom - 3;
    if ((args.Has(0) && !ParseNumber(args.words[0], &x)) ||
        (args.Has(1) && !ParseNumber(args.words[1], &y))) {
        return 2;
    }
    COLORREF colour = 0;
    if (!ScreenColour(page, x, y, &colour)) {
        return Fail("the screen cannot be read");
    }
    PrintColour(colour);
    return 0;
}

int EndProcess(DWORD pid, DWORD ms) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) {
        return Fail("cannot open process %lu (error %lu)", pid, GetLastError());
    }
    TerminateProcess(process, 1);
    DWORD waited = WaitForSingleObject(process, ms);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0) {
        return Fail("process %lu did not end within %lu ms", pid, ms);
    }
    PrintNumber("ended", pid);
    return 0;
}

int Kill(const Args& args) {
    DWORD ms;
    if (!WaitArg(args, 1, &ms)) {
        return 2;
    }
    HWND window = FindWindowW(nullptr, args.Title(0));
    if (!window) {
        return Fail("no window \"%s\"", Utf8(args.Title(0)).c_str());
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return EndProcess(pid, ms);
}

int EndProcessCommand(const Args& args) {
    long pid = 0;
    DWORD ms;
    if (!args.Has(0) || !ParseNumber(args.words[0], &pid) || pid <= 0 || !WaitArg(args, 1, &ms)) {
        return 2;
    }
    return EndProcess(static_cast<DWORD>(pid), ms);
}

bool ControlId(const Args& args, size_t i, int* id) {
    long n = 0;
    if (!args.Has(i) || !ParseNumber(args.words[i], &n)) {
        return false;
    }
    *id = static_cast<int>(n);
    return true;
}

int PageText(const Args& args) {
    int id;
    if (!ControlId(args, 0, &id)) {
        return 2;
    }
    const char* error = "";
    HWND control = PageControl(id, &error);
    if (!control) {
        return Fail("control %d: %s", id, error);
    }
    Print("text", TextOf(control));
    return 0;
}

int WaitText(const Args& args) {
    int id;
    DWORD ms;
    if (!ControlId(args, 0, &id) || !args.Has(1) || !WaitArg(args, 2, &ms)) {
        return 2;
    }
    std::wstring last;
    bool ok = PollUntil(ms, [&] {
        const char* error = "";
        HWND control = PageControl(id, &error);
        last = control ? TextOf(control) : std::wstring();
        return control && last == args.words[1];
    });
    Print("text", last);
    return ok ? 0 : Fail("control %d did not show the text within %lu ms", id, ms);
}

int Enabled(const Args& args) {
    int id;
    if (!ControlId(args, 0, &id)) {
        return 2;
    }
    const char* error = "";
    HWND control = PageControl(id, &error);
    if (!control) {
        return Fail("control %d: %s", id, error);
    }
    PrintNumber("enabled", IsWindowEnabled(control) ? 1 : 0);
    return 0;
}

int WaitEnabled(const Args& args) {
    int id;
    long want = 0;
    DWORD ms;
    if (!ControlId(args, 0, &id) || !args.Has(1) || !ParseNumber(args.words[1], &want) ||
        !WaitArg(args, 2, &ms)) {
        return 2;
    }
    bool ok = PollUntil(ms, [&] {
        const char* error = "";
        HWND control = PageControl(id, &error);
        return control && (IsWindowEnabled(control) != FALSE) == (want != 0);
    });
    return ok ? 0 : Fail("control %d not %s within %lu ms", id, want ? "enabled" : "disabled", ms);
}

int Radio(const Args& args) {
    int id;
    if (!ControlId(args, 0, &id)) {
        return 2;
    }
    const char* error = "";
    HWND control = PageControl(id, &error);
    LRESULT state = 0;
    if (!control) {
        return Fail("control %d: %s", id, error);
    }
    if (!Send(control, BM_GETCHECK, 0, 0, &state)) {
        return Fail("control %d does not answer", id);
    }
    PrintNumber("checked", state == BST_CHECKED ? 1 : 0);
    return 0;
}

int SetText(const Args& args) {
    int id;
    if (!ControlId(args, 0, &id) || !args.Has(1)) {
        return 2;
    }
    const char* error = "";
    HWND control = PageControl(id, &error);
    if (!control) {
        return Fail("control %d: %s", id, error);
    }
    if (!Usable(control)) {
        return Fail("control %d is hidden or disabled", id);
    }
    // The system carries the string to the other process; an edit control
    // reports EN_CHANGE to its page as it would for typing.
    LRESULT done = 0;
    if (!Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args.words[1].c_str()), &done) ||
        !done) {
        return Fail("control %d did not take the text", id);
    }
    Print("text", TextOf(control));
    return 0;
}

int Click(const Args& args) {
    int id;
    if (!ControlId(args, 0, &id)) {
        return 2;
    }
    const char* error = "";
    HWND control = PageControl(id, &error);
    if (!control) {
        return Fail("control %d: %s", id, error);
    }
    if (!Usable(control)) {
        return Fail("control %d is hidden or disabled", id);
    }
    // Posted: what the click starts (a message box) must not hold the driver.
    PostMessageW(control, BM_CLICK, 0, 0);
    return 0;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM page) {
    if (GetParent(control) != reinterpret_cast<HWND>(page)) {
        return TRUE;  // inside a control of the page
    }
    bool image = IsImageStatic(control);
    Print("control", std::to_string(GetDlgCtrlID(control)) + " " + Utf8(ClassOf(control)) +
                         " visible=" + (IsWindowVisible(control) ? "1" : "0") +
                         " enabled=" + (IsWindowEnabled(control) ? "1" : "0") + " " +
                         (image ? std::string() : OneLine(Utf8(TextOf(control)))));
    return TRUE;
}

int Controls(const Args&) {
    HWND sheet = FindSheet();
    HWND page = sheet ? CurrentPage(sheet) : nullptr;
    if (!page) {
        return Fail("no wizard page");
    }
    Print("page", std::to_string(reinterpret_cast<UINT_PTR>(page)) +
                      (IsWindowVisible(page) ? " visible" : " hidden"));
    EnumChildWindows(page, PrintControl, reinterpret_cast<LPARAM>(page));
    return 0;
}

int Buttons(const Args&) {
    HWND sheet = FindSheet();
    if (!sheet) {
        return Fail("no wizard window");
    }
    Print("buttons", SheetButtons(sheet));
    return 0;
}

int WaitButtons(const Args& args) {
    DWORD ms;
    if (!args.Has(0) || !WaitArg(args, 1, &ms)) {
        return 2;
    }
    std::string want = Utf8(args.words[0]);
    std::string last;
    bool ok = PollUntil(ms, [&] {
        HWND sheet = FindSheet();
        last = sheet ? SheetButtons(sheet) : "";
        return sheet && last == want;
    });
    Print("buttons", last);
    return ok ? 0 : Fail("the wizard's buttons are not \"%s\" after %lu ms", want.c_str(), ms);
}

struct SheetPress {
    const char* name;
    int id;
    WPARAM button;
};
constexpr SheetPress kPresses[] = {{"back", kBackId, PSBTN_BACK},
                                   {"next", kNextId, PSBTN_NEXT},
                                   {"finish", kFinishId, PSBTN_FINISH},
                                   {"cancel", IDCANCEL, PSBTN_CANCEL}};

const SheetPress* FindPress(const std::wstring& word) {
    std::string name = Utf8(word);
    for (const auto& press : kPresses) {
        if (name == press.name) {
            return &press;
        }
    }
    return nullptr;
}

// Presses the button as a user would; 0 when pressed.
int PressOn(HWND sheet, const SheetPress& press) {
    // A user cannot press what is hidden or greyed.
    if (!Usable(GetDlgItem(sheet, press.id))) {
        return Fail("the %s button is hidden or disabled", press.name);
    }
    PostMessageW(sheet, PSM_PRESSBUTTON, press.button, 0);
    return 0;
}

int Press(const Args& args) {
    const SheetPress* press = args.Has(0) ? FindPress(args.words[0]) : nullptr;
    if (!press) {
        return 2;
    }
    HWND sheet = FindSheet();
    if (!sheet) {
        return Fail("no wizard window");
    }
    return PressOn(sheet, *press);
}

// A page's activation handler may set the buttons itself, or leave them as
// the page before left them and have them set later (a posted message, a
// thread): only a hook in the wizard's thread sees them at the moment the
// handler returns, before anything queued meanwhile is handled.
int PressWatch(const Args& args) {
    const SheetPress* press = args.Has(0) ? FindPress(args.words[0]) : nullptr;
    DWORD ms;
    if (!press || !WaitArg(args, 1, &ms)) {
        return 2;
    }
    HWND sheet = FindSheet();
    if (!sheet) {
        return Fail("no wizard window");
    }
    DWORD pid = 0;
    DWORD thread = GetWindowThreadProcessId(sheet, &pid);
    wchar_t mappingName[64];
    swprintf(mappingName, 64, L"%ls%lu", kActivationMappingPrefix, pid);
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(ActivationRecord), mappingName);
    if (!mapping) {
        return Fail("no shared memory for the hook (error %lu)", GetLastError());
    }
    auto* record = static_cast<volatile ActivationRecord*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ActivationRecord)));
    HMODULE probe = LoadProbeHere();
    auto hookProcedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(
        probe ? GetProcAddress(probe, LKS_PROBE_ACTIVATION_HOOK) : nullptr));
    HHOOK hook = record && hookProcedure
                     ? SetWindowsHookExW(WH_CALLWNDPROCRET, hookProcedure, probe, thread)
                     : nullptr;
    int status = 0;
    if (!hook) {
        status = Fail("cannot hook the wizard's thread (error %lu)", GetLastError());
    } else {
        LONG before = record->activations;
        status = PressOn(sheet, *press);
        if (status == 0 && !PollUntil(ms, [&] { return record->activations != before; })) {
            status = Fail("no page was activated within %lu ms", ms);
        }
        if (status == 0) {
            char buttons[sizeof record->buttons];
            CopyMemory(buttons, const_cast<char*>(record->buttons), sizeof buttons);
            buttons[sizeof buttons - 1] = '\0';
            Print("buttons", buttons);
        }
        UnhookWindowsHookEx(hook);
    }
    if (probe) {
        FreeLibrary(probe);
    }
    if (record) {
        UnmapViewOfFile(const_cast<ActivationRecord*>(record));
    }
    CloseHandle(mapping);
    return status;
}

// Same bitness on both sides: the structures are laid out in the other
// process as they are here.
bool SameBitness(HANDLE process) {
    BOOL ours = FALSE;
    BOOL theirs = FALSE;
    IsWow64Process(GetCurrentProcess(), &ours);
    IsWow64Process(process, &theirs);
    return ours == theirs;
}

// Text of header item `index` or list item `row`/`column`, read through a
// buffer in the list's process.
template <typename Item>
bool RemoteItemText(RemoteBuffer& remote, HWND window, UINT message, WPARAM index, Item item,
                    wchar_t*(Item::*textField), int(Item::*sizeField), std::wstring* text) {
    constexpr size_t kTextChars = 1024;
    const size_t textOffset = (sizeof(Item) + 15) / 16 * 16;
    if (remote.Size() < textOffset + kTextChars * sizeof(wchar_t)) {
        return false;
    }
    item.*textField = reinterpret_cast<wchar_t*>(remote.Address() + textOffset);
    item.*sizeField = static_cast<int>(kTextChars);
    std::vector<wchar_t> local(kTextChars, L'\0');
    LRESULT result = 0;
    if (!remote.Write(0, &item, sizeof item) ||
        !remote.Write(textOffset, local.data(), local.size() * sizeof(wchar_t)) ||
        !Send(window, message, index, static_cast<LPARAM>(remote.Address()), &result) ||
        !remote.Read(textOffset, local.data(), local.size() * sizeof(wchar_t))) {
        return false;
    }
    local[kTextChars - 1] = L'\0';
    *text = local.data();
    return true;
}

int List(const Args&) {
    const char* error = "";
    HWND list = PageControl(kListId, &error);
    if (!list) {
        return Fail("list %d: %s", kListId, error);
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    RemoteBuffer remote(pid, 4096);
    if (!remote.Address()) {
        return Fail("no buffer in process %lu (error %lu)", pid, GetLastError());
    }
    if (!SameBitness(remote.Process())) {
        return Fail("the wizard's process is not of this driver's bitness");
    }
    LRESULT header = 0;
    LRESULT columns = 0;
    LRESULT rows = 0;
    if (!Send(list, LVM_GETHEADER, 0, 0, &header) || !header ||
        !Send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &columns) ||
        !Send(list, LVM_GETITEMCOUNT, 0, 0, &rows)) {
        return Fail("the list does not answer");
    }
    std::wstring line;
    for (LRESULT c = 0; c < columns; ++c) {
        HDITEMW item = {};
        item.mask = HDI_TEXT;
        std::wstring text;
        if (!RemoteItemText(remote, reinterpret_cast<HWND>(header), HDM_GETITEMW,
                            static_cast<WPARAM>(c), item, &HDITEMW::pszText, &HDITEMW::cchTextMax,
                            &text)) {
            return Fail("column %ld cannot be read", static_cast<long>(c));
        }
        line += (c ? L"\t" : L"") + text;
    }
    Print("columns", Utf8(line));
    PrintNumber("rows", rows);
    for (LRESULT r = 0; r < rows; ++r) {
        line.clear();
        for (LRESULT c = 0; c < (columns > 0 ? columns : 1); ++c) {
            LVITEMW item = {};
            item.iSubItem = static_cast<int>(c);
            std::wstring text;
            if (!RemoteItemText(remote, list, LVM_GETITEMTEXTW, static_cast<WPARAM>(r), item,
                                &LVITEMW::pszText, &LVITEMW::cchTextMax, &text)) {
                return Fail("row %ld cannot be read", static_cast<long>(r));
            }
            line += (c ? L"\t" : L"") + text;
        }
        Print("row", Utf8(line));
    }
    return 0;
}

int Bar(const Args& args) {
    int id;
    if (!ControlId(args, 0, &id)) {
        return 2;
    }
    const char* error = "";
    HWND bar = PageControl(id, &error);
    if (!bar) {
        return Fail("bar %d: %s", id, error);
    }
    // Without a PBRANGE pointer each call answers one limit.
    LRESULT low = 0;
    LRESULT high = 0;
    LRESULT pos = 0;
    if (!Send(bar, PBM_GETRANGE, TRUE, 0, &low) || !Send(bar, PBM_GETRANGE, FALSE, 0, &high) ||
        !Send(bar, PBM_GETPOS, 0, 0, &pos)) {
        return Fail("bar %d does not answer", id);
    }
    Print("range", std::to_string(low) + " " + std::to_string(high));
    PrintNumber("pos", pos);
    return 0;
}

int MessageBoxCommand(const Args& args) {
    DWORD ms;
    if (!WaitArg(args, 1, &ms)) {
        return 2;
    }
    const wchar_t* title = args.Has(0) && !args.words[0].empty() ? args.words[0].c_str() : nullptr;
    HWND box = nullptr;
    if (!PollUntil(ms, [&] { return (box = FindMessageBox(title)) != nullptr; })) {
        return Fail("no message box within %lu ms", ms);
    }
    PrintWindow(box);
    std::wstring text;
    EnumChildWindows(box, TakeStaticText, reinterpret_cast<LPARAM>(&text));
    Print("text", text);
    Print("buttons", UsableButtons(box, kBoxButtons, sizeof kBoxButtons / sizeof kBoxButtons[0]));
    return 0;
}

int BoxIcon(const Args& args) {
    DWORD ms;
    if (!WaitArg(args, 1, &ms)) {
        return 2;
    }
    const wchar_t* title = args.Has(0) && !args.words[0].empty() ? args.words[0].c_str() : nullptr;
    HWND box = nullptr;
    if (!PollUntil(ms, [&] { return (box = FindMessageBox(title)) != nullptr; })) {
        return Fail("no message box within %lu ms", ms);
    }
    std::string icon;
    std::string error;
    if (!ReadRemoteMessageBoxIcon(box, kDefaultWaitMs, &icon, &error)) {
        return Fail("message box icon: %s", error.c_str());
    }
    Print("icon", icon);
    return 0;
}

int Answer(const Args& args) {
    DWORD ms;
    if (!args.Has(0) || !WaitArg(args, 2, &ms)) {
        return 2;
    }
    int id = ButtonId(args.words[0], kBoxButtons, sizeof kBoxButtons / sizeof kBoxButtons[0]);
    if (!id) {
        return 2;
    }
    const wchar_t* title = args.Has(1) && !args.words[1].empty() ? args.words[1].c_str() : nullptr;
    HWND box = nullptr;
    if (!PollUntil(ms, [&] { return (box = FindMessageBox(title)) != nullptr; })) {
        return Fail("no message box within %lu ms", ms);
    }
    HWND button = GetDlgItem(box, id);
    if (!Usable(button)) {
        return Fail("the message box has no such button");
    }
    PostMessageW(button, BM_CLICK, 0, 0);
    if (!PollUntil(ms, [&] { return !IsWindow(box); })) {
        return Fail("the message box is still there after %lu ms", ms);
    }
    return 0;
}

int SysMenu(const Args& args) {
    HWND window = FindWindowW(nullptr, args.Title(0));
    if (!window) {
        return Fail("no window \"%s\"", Utf8(args.Title(0)).c_str());
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

bool MutexExists() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName);
    DWORD error = GetLastError();
    if (mutex) {
        CloseHandle(mutex);
    }
    return mutex || error == ERROR_ACCESS_DENIED;
}

int Mutex(const Args&) {
    Print("mutex", MutexExists() ? "present" : "absent");
    return 0;
}

// The mutex lives while any process has a handle to it: a second updater
// opens it too, and lets go only when it ends.
int WaitMutex(const Args& args) {
    DWORD ms;
    if (!args.Has(0) || !WaitArg(args, 1, &ms)) {
        return 2;
    }
    std::string want = Utf8(args.words[0]);
    if (want != "present" && want != "absent") {
        return 2;
    }
    if (!PollUntil(ms, [&] { return MutexExists() == (want == "present"); })) {
        return Fail("the mutex is not %s after %lu ms", want.c_str(), ms);
    }
    return 0;
}

DWORD WINAPI ReadToEnd(void*) {
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) &&
           got > 0) {
    }
    return 0;
}

// Serves this thread's windows until stdin ends or `ms` pass, so that a test
// decides how long the driver holds something. The process then ends at
// once: the reading thread may still wait in ReadFile.
[[noreturn]] void HoldUntilStdinEnds(DWORD ms) {
    HANDLE reader = CreateThread(nullptr, 0, ReadToEnd, nullptr, 0, nullptr);
    DWORD start = GetTickCount();
    while (reader) {
        DWORD passed = GetTickCount() - start;
        if (passed >= ms || MsgWaitForMultipleObjects(1, &reader, FALSE, ms - passed,
                                                      QS_ALLINPUT) != WAIT_OBJECT_0 + 1) {
            break;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    ExitProcess(0);
}

int HoldMutex(const Args& args) {
    DWORD ms = 300000;
    if (args.Has(0) && !WaitArg(args, 0, &ms)) {
        return 2;
    }
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        return Fail("the mutex exists already");
    }
    Print("mutex", "held");
    HoldUntilStdinEnds(ms);  // the process's end releases the mutex
}

// Keeps Wine's desktop open while tests start and end their programs: with
// no program left on it, Wine closes the desktop within a second and starts
// it again for the next one, and a program starting meanwhile may fail.
int HoldDesktop(const Args& args) {
    DWORD ms = 86400000;
    if (args.Has(0) && !WaitArg(args, 0, &ms)) {
        return 2;
    }
    if (!GetDesktopWindow()) {
        return Fail("no desktop window");
    }
    Print("desktop", "held");
    HoldUntilStdinEnds(ms);
}

// A window of another program that has the foreground, so that a test can
// see the wizard take it back.
int Decoy(const Args& args) {
    DWORD ms = 300000;
    if (!args.Has(0) || args.words[0].empty() || (args.Has(1) && !WaitArg(args, 1, &ms))) {
        return 2;
    }
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"LksDriverDecoy";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, args.words[0].c_str(),
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    if (!window) {
        return Fail("cannot make a window (error %lu)", GetLastError());
    }
    SetForegroundWindow(window);
    if (!PollUntil(kDefaultWaitMs, [&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            return GetForegroundWindow() == window;
        })) {
        return Fail("the window did not get the foreground");
    }
    PrintNumber("foreground", 1);
    HoldUntilStdinEnds(ms);
}

std::vector<DWORD> ProcessesNamed(const std::wstring& name) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return pids;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, name.c_str()) == 0) {
            pids.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return pids;
}

void PrintProcesses(const std::vector<DWORD>& pids) {
    PrintNumber("count", static_cast<long long>(pids.size()));
    for (DWORD pid : pids) {
        Print("process", std::to_string(pid) + " " + OneLine(Utf8(ProcessImage(pid))));
    }
}

int Processes(const Args& args) {
    if (!args.Has(0)) {
        return 2;
    }
    PrintProcesses(ProcessesNamed(args.words[0]));
    return 0;
}

int WaitProcesses(const Args& args) {
    long count = 0;
    DWORD ms;
    if (!args.Has(1) || !ParseNumber(args.words[1], &count) || !WaitArg(args, 2, &ms)) {
        return 2;
    }
    std::vector<DWORD> pids;
    bool ok = PollUntil(ms, [&] {
        pids = ProcessesNamed(args.words[0]);
        return static_cast<long>(pids.size()) == count;
    });
    PrintProcesses(pids);
    return ok ? 0 : Fail("not %ld such processes after %lu ms", count, ms);
}

struct Command {
    const char* name;
    int (*run)(const Args&);
};

constexpr Command kCommands[] = {
    {"wait-window", WaitWindow},
    {"wait-gone", WaitGone},
    {"state", State},
    {"wait-foreground", WaitForeground},
    {"hide", Hide},
    {"colour", Colour},
    {"page-colour", PageColour},
    {"kill", Kill},
    {"end-process", EndProcessCommand},
    {"page-text", PageText},
    {"wait-text", WaitText},
    {"enabled", Enabled},
    {"wait-enabled", WaitEnabled},
    {"radio", Radio},
    {"set-text", SetText},
    {"click", Click},
    {"controls", Controls},
    {"buttons", Buttons},
    {"wait-buttons", WaitButtons},
    {"press", Press},
    {"press-watch", PressWatch},
    {"list", List},
    {"bar", Bar},
    {"message-box", MessageBoxCommand},
    {"box-icon", BoxIcon},
    {"answer", Answer},
    {"sysmenu", SysMenu},
    {"mutex", Mutex},
    {"wait-mutex", WaitMutex},
    {"hold-mutex", HoldMutex},
    {"hold-desktop", HoldDesktop},
    {"decoy", Decoy},
    {"processes", Processes},
    {"wait-processes", WaitProcesses},
};

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // UTF-8 bytes and "\n" as they are
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        fputs(kUsage, stderr);
        return 2;
    }
    std::string name = Utf8(argv[1]);
    Args args;
    for (int i = 2; i < argc; ++i) {
        args.words.emplace_back(argv[i]);
    }
    LocalFree(argv);
    for (const Command& command : kCommands) {
        if (name == command.name) {
            int status = command.run(args);
            if (status == 2) {
                fputs(kUsage, stderr);
            }
            return status;
        }
    }
    fputs(kUsage, stderr);
    return 2;
}
