// Steps that read the wizard's current page and its buttons.

#include "commands.h"
#include "output.h"
#include "sheet_buttons.h"
#include "window_lookup.h"

#include <commctrl.h>

namespace driver {
namespace {

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

}  // namespace

int PageText(const Args& args) {
    TakenControl taken = TakeControl(args, 0, "control");
    if (taken.status) {
        return taken.status;
    }
    Print("text", TextOf(taken.control));
    return 0;
}

int WaitText(const Args& args) {
    int id;
    DWORD ms;
    if (!ControlId(args, 0, &id) || !args.Has(1) || !WaitArg(args, 2, &ms)) {
        return kBadUsage;
    }
    std::wstring last;
    bool ok = PollUntil(ms, [&] {
        HWND control = FindPageControl(id);
        last = control ? TextOf(control) : std::wstring();
        return control && last == args.words[1];
    });
    Print("text", last);
    return ok ? 0 : Fail("control %d did not show the text within %lu ms", id, ms);
}

int Enabled(const Args& args) {
    TakenControl taken = TakeControl(args, 0, "control");
    if (taken.status) {
        return taken.status;
    }
    PrintNumber("enabled", IsWindowEnabled(taken.control) ? 1 : 0);
    return 0;
}

int WaitEnabled(const Args& args) {
    int id;
    long want = 0;
    DWORD ms;
    if (!ControlId(args, 0, &id) || !args.Has(1) || !ParseNumber(args.words[1], &want) ||
        !WaitArg(args, 2, &ms)) {
        return kBadUsage;
    }
    bool ok = PollUntil(ms, [&] {
        HWND control = FindPageControl(id);
        return control && (IsWindowEnabled(control) != FALSE) == (want != 0);
    });
    return ok ? 0 : Fail("control %d not %s within %lu ms", id, want ? "enabled" : "disabled", ms);
}

int Radio(const Args& args) {
    TakenControl taken = TakeControl(args, 0, "control");
    if (taken.status) {
        return taken.status;
    }
    LRESULT state = 0;
    if (!Send(taken.control, BM_GETCHECK, 0, 0, &state)) {
        return Fail("control %d does not answer", taken.id);
    }
    PrintNumber("checked", state == BST_CHECKED ? 1 : 0);
    return 0;
}

int Controls(const Args&) {
    HWND page = PageOrSay();
    if (!page) {
        return 1;
    }
    Print("page", std::to_string(reinterpret_cast<UINT_PTR>(page)) +
                      (IsWindowVisible(page) ? " visible" : " hidden"));
    EnumChildWindows(page, PrintControl, reinterpret_cast<LPARAM>(page));
    return 0;
}

int Buttons(const Args&) {
    HWND sheet = SheetOrSay();
    if (!sheet) {
        return 1;
    }
    Print("buttons", SheetButtons(sheet));
    return 0;
}

int WaitButtons(const Args& args) {
    WantedState wanted = WantAndWait(args);
    if (!wanted.ok) {
        return kBadUsage;
    }
    std::string last;
    bool ok = PollUntil(wanted.ms, [&] {
        HWND sheet = FindSheet();
        last = sheet ? SheetButtons(sheet) : "";
        return sheet && last == wanted.want;
    });
    Print("buttons", last);
    return ok ? 0
              : Fail("the wizard's buttons are not \"%s\" after %lu ms", wanted.want.c_str(),
                     wanted.ms);
}

int Bar(const Args& args) {
    TakenControl taken = TakeControl(args, 0, "bar");
    if (taken.status) {
        return taken.status;
    }
    // Without a PBRANGE pointer each call answers one limit.
    LRESULT low = 0;
    LRESULT high = 0;
    LRESULT pos = 0;
    if (!Send(taken.control, PBM_GETRANGE, TRUE, 0, &low) ||
        !Send(taken.control, PBM_GETRANGE, FALSE, 0, &high) ||
        !Send(taken.control, PBM_GETPOS, 0, 0, &pos)) {
        return Fail("bar %d does not answer", taken.id);
    }
    Print("range", std::to_string(low) + " " + std::to_string(high));
    PrintNumber("pos", pos);
    return 0;
}

}  // namespace driver
