// lks-wizard-probe.dll, which the wizard driver loads into the wizard's
// process to read what only that process can: Wine keeps a window's menus in
// the process that owns them. The request lies in that process's memory.
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
