// Runs in the wizard's process, on a thread the driver starts there.

#include "wizard_probe.h"

#include <windows.h>

namespace {

// Appends `text` and a line break if both fit, the NUL included.
bool Append(SystemMenuRequest* request, size_t* used, const wchar_t* text) {
    size_t length = static_cast<size_t>(lstrlenW(text));
    if (*used + length + 2 > kProbeTextChars) {
        return false;
    }
    CopyMemory(request->texts + *used, text, length * sizeof(wchar_t));
    *used += length;
    request->texts[(*used)++] = L'\n';
    request->texts[*used] = L'\0';
    return true;
}

void ReadSystemMenu(SystemMenuRequest* request) {
    request->count = -1;
    request->texts[0] = L'\0';
    HMENU menu =
        GetSystemMenu(reinterpret_cast<HWND>(static_cast<uintptr_t>(request->window)), FALSE);
    int count = menu ? GetMenuItemCount(menu) : -1;
    if (count < 0) {
        return;
    }
    size_t used = 0;
    request->count = 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (!Append(request, &used, (state & MF_SEPARATOR) || !text[0] ? L"-" : text)) {
            return;
        }
        ++request->count;
    }
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI LksReadSystemMenu(void* parameter) {
    ReadSystemMenu(static_cast<SystemMenuRequest*>(parameter));
    // The probe leaves the wizard's process as it found it.
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&LksReadSystemMenu), &self);
    FreeLibraryAndExitThread(self, 0);
}
