// lks-wizard-probe.dll, which the wizard driver loads into the wizard's
// process to read what only that process can: Wine keeps a window's menus and
// icons in the process that owns them, and only a hook inside the process sees
// the moment a page's activation returns. Requests lie in that process's
// memory.
#pragma once

#include <cstdint>

constexpr int kProbeTextChars = 4096;

struct SystemMenuRequest {
    uint64_t window;                 // in: the HWND
    int32_t count;                   // out: items read; -1 when there is no menu
    wchar_t texts[kProbeTextChars];  // out: one item a line ("-": separator), NUL-ended
};

// The thread procedure the driver starts in the wizard's process with a
// SystemMenuRequest; it unloads the probe when done.
#define LKS_PROBE_READ_SYSTEM_MENU "LksReadSystemMenu"

struct MessageBoxIconRequest {
    uint64_t window;  // in: the message box
    char icon[16];    // out: "exclamation", "question", "error", "information", "none", "other"
};

// The thread procedure that reads the icon of a MessageBoxIconRequest's box.
#define LKS_PROBE_READ_MESSAGE_BOX_ICON "LksReadMessageBoxIcon"

// What the activation hook writes into the file mapping named
// kActivationMappingPrefix + the wizard's process id (in decimal), which the
// driver makes: the wizard buttons that are shown and enabled at the moment a
// page's PSN_SETACTIVE handler returns, before the sheet goes on.
struct ActivationRecord {
    int32_t activations;  // pages activated since the hook was set
    char buttons[64];     // at the last of them: "back,next,finish,cancel", those usable
};

constexpr wchar_t kActivationMappingPrefix[] = L"lks-wizard-activation-";

// A WH_CALLWNDPROCRET hook procedure for the wizard's thread.
#define LKS_PROBE_ACTIVATION_HOOK "LksActivationHook"
