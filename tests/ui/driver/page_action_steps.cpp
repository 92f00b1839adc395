// Steps that act on the wizard's current page as a user would: typing,
// clicking, and the wizard's own buttons.

#include "commands.h"
#include "output.h"
#include "probe_client.h"
#include "sheet_buttons.h"
#include "window_lookup.h"
#include "wizard_probe.h"

#include <cwchar>

namespace driver {
namespace {

// The control of word 0, when a user could use it (status 1 after saying
// why not).
TakenControl TakeUsableControl(const Args& args) {
    TakenControl taken = TakeControl(args, 0, "control");
    if (taken.status == 0 && !Usable(taken.control)) {
        taken.status = Fail("control %d is hidden or disabled", taken.id);
    }
    return taken;
}

// Presses the button while a hook in the wizard's thread records the usable
// buttons each time a page's activation handler returns.
int PressAndWatch(HWND sheet, DWORD thread, const SheetPress& press, DWORD ms,
                  volatile ActivationRecord* record, HMODULE probe) {
    auto hookProcedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(
        probe ? GetProcAddress(probe, LKS_PROBE_ACTIVATION_HOOK) : nullptr));
    HHOOK hook = record && hookProcedure
                     ? SetWindowsHookExW(WH_CALLWNDPROCRET, hookProcedure, probe, thread)
                     : nullptr;
    if (!hook) {
        return Fail("cannot hook the wizard's thread (error %lu)", GetLastError());
    }
    LONG before = record->activations;
    int status = PressOn(sheet, press);
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
    return status;
}

}  // namespace

int SetText(const Args& args) {
    if (!args.Has(1)) {
        return kBadUsage;
    }
    TakenControl taken = TakeUsableControl(args);
    if (taken.status) {
        return taken.status;
    }
    // The system carries the string to the other process; an edit control
    // reports EN_CHANGE to its page as it would for typing.
    LRESULT done = 0;
    if (!Send(taken.control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args.words[1].c_str()),
              &done) ||
        !done) {
        return Fail("control %d did not take the text", taken.id);
    }
    Print("text", TextOf(taken.control));
    return 0;
}

int Click(const Args& args) {
    TakenControl taken = TakeUsableControl(args);
    if (taken.status) {
        return taken.status;
    }
    // Posted: what the click starts (a message box) must not hold the driver.
    PostMessageW(taken.control, BM_CLICK, 0, 0);
    return 0;
}

int Press(const Args& args) {
    const SheetPress* press = args.Has(0) ? FindPress(args.words[0]) : nullptr;
    if (!press) {
        return kBadUsage;
    }
    HWND sheet = SheetOrSay();
    return sheet ? PressOn(sheet, *press) : 1;
}

// A page's activation handler may set the buttons itself, or leave them as
// the page before left them and have them set later (a posted message, a
// thread): only a hook in the wizard's thread sees them at the moment the
// handler returns, before anything queued meanwhile is handled.
int PressWatch(const Args& args) {
    const SheetPress* press = args.Has(0) ? FindPress(args.words[0]) : nullptr;
    DWORD ms;
    if (!press || !WaitArg(args, 1, &ms)) {
        return kBadUsage;
    }
    HWND sheet = SheetOrSay();
    if (!sheet) {
        return 1;
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
    int status = PressAndWatch(sheet, thread, *press, ms, record, probe);
    if (probe) {
        FreeLibrary(probe);
    }
    if (record) {
        UnmapViewOfFile(const_cast<ActivationRecord*>(record));
    }
    CloseHandle(mapping);
    return status;
}

}  // namespace driver
