// Loading lks-wizard-probe.dll (next to the driver) into another process and
// running its procedures there. Both programs must be of the same bitness.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Loads the probe into the process of `window` and runs `procedure` there on
// a thread of its own, with the `size` bytes of `request` copied there and
// back; false with the reason in *error when that fails within `ms`.
bool RunProbe(HWND window, const char* procedure, void* request, size_t size, DWORD ms,
              std::string* error);

// The probe in this process, for the hooks that the system loads with it
// into another; null when it is not next to the driver.
HMODULE LoadProbeHere();

// The texts of the system menu of `window`, read inside its process; false
// with the reason in *error when it cannot be read within `ms`.
bool ReadRemoteSystemMenu(HWND window, DWORD ms, std::vector<std::wstring>* items,
                          std::string* error);

// The icon a message box shows, read inside its process: "exclamation",
// "question", "error", "information", "none" or "other".
bool ReadRemoteMessageBoxIcon(HWND box, DWORD ms, std::string* icon, std::string* error);
