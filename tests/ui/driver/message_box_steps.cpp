// Steps on message boxes of other programs: top-level dialogs that are not
// property sheets, found by caption (any caption when it is empty).

#include "commands.h"
#include "output.h"
#include "probe_client.h"
#include "window_lookup.h"

namespace driver {
namespace {

constexpr NamedButton kBoxButtons[] = {
    {"ok", IDOK},       {"cancel", IDCANCEL}, {"yes", IDYES},       {"no", IDNO},
    {"abort", IDABORT}, {"retry", IDRETRY},   {"ignore", IDIGNORE},
};
constexpr size_t kBoxButtonCount = sizeof kBoxButtons / sizeof kBoxButtons[0];

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

// The box titled by word `titleWord` (any box when it is empty), waited for
// as long as word `titleWord + 1` says: 0 with *box and *ms set, kBadUsage,
// or 1 after saying that none was shown.
int TakeMessageBox(const Args& args, size_t titleWord, HWND* box, DWORD* ms) {
    if (!WaitArg(args, titleWord + 1, ms)) {
        return kBadUsage;
    }
    const wchar_t* title = args.BoxTitle(titleWord);
    *box = nullptr;
    if (!PollUntil(*ms, [&] { return (*box = FindMessageBox(title)) != nullptr; })) {
        return Fail("no message box within %lu ms", *ms);
    }
    return 0;
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

}  // namespace

int MessageBoxStep(const Args& args) {
    HWND box;
    DWORD ms;
    if (int status = TakeMessageBox(args, 0, &box, &ms)) {
        return status;
    }
    PrintWindowFacts(box);
    std::wstring text;
    EnumChildWindows(box, TakeStaticText, reinterpret_cast<LPARAM>(&text));
    Print("text", text);
    Print("buttons", UsableButtons(box, kBoxButtons, kBoxButtonCount));
    return 0;
}

int BoxIcon(const Args& args) {
    HWND box;
    DWORD ms;
    if (int status = TakeMessageBox(args, 0, &box, &ms)) {
        return status;
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
    int id = args.Has(0) ? ButtonId(args.words[0], kBoxButtons, kBoxButtonCount) : 0;
    if (!id) {
        return kBadUsage;
    }
    HWND box;
    DWORD ms;
    if (int status = TakeMessageBox(args, 1, &box, &ms)) {
        return status;
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

}  // namespace driver
