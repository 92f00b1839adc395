// Loading lks-wizard-probe.dll (next to the driver) into another process and
// running its procedures there. Both programs must be of the same bitness.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The texts of the system menu of `window`, read inside its process; false
// with the reason in *error when it cannot be read within `ms`.
bool ReadRemoteSystemMenu(HWND window, DWORD ms, std::vector<std::wstring>* items,
                          std::string* error);
