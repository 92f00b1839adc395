// The download client's notification to the display: WM_DOWNLOAD_EVENT with
// an event code in wParam and its value in lParam.
#pragma once

#include <cstdint>

constexpr uint32_t WM_DOWNLOAD_EVENT = 0x0400 + 1000;  // WM_USER + 1000

enum DownloadEvent : uintptr_t {
    DOWNLOAD_CONNECTED = 1000,  // lParam 0
    DOWNLOAD_LENGTH = 2000,     // lParam: the body length (0 when the server gives none)
    DOWNLOAD_PROGRESS = 3000,   // lParam: body bytes stored so far
    DOWNLOAD_DONE = 4000,       // lParam 0
    DOWNLOAD_FAILED = 5000,     // lParam 0
};
