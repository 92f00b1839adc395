// Runs in the wizard's process, on a thread the driver starts there.

#include "wizard_probe.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>

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

// The icon static of a message box: the one static with SS_ICON.
BOOL CALLBACK TakeIconStatic(HWND child, LPARAM context) {
    wchar_t name[16] = L"";
    GetClassNameW(child, name, 16);
    if (lstrcmpiW(name, L"Static") != 0 ||
        (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(context) = child;
    return FALSE;
}

void ReadMessageBoxIcon(MessageBoxIconRequest* request) {
    HWND box = reinterpret_cast<HWND>(static_cast<uintptr_t>(request->window));
    HWND control = nullptr;
    EnumChildWindows(box, TakeIconStatic, reinterpret_cast<LPARAM>(&control));
    HICON shown = control && IsWindowVisible(control)
                      ? reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0))
                      : nullptr;
    const char* name = "none";
    if (shown) {
        // The system's shared icons: the same handles in the box as here.
        static const struct {
            LPCWSTR id;
            const char* name;
        } kIcons[] = {{MAKEINTRESOURCEW(32515), "exclamation"},   // IDI_EXCLAMATION
                      {MAKEINTRESOURCEW(32514), "question"},      // IDI_QUESTION
                      {MAKEINTRESOURCEW(32513), "error"},         // IDI_HAND
                      {MAKEINTRESOURCEW(32516), "information"}};  // IDI_ASTERISK
        name = "other";
        for (const auto& icon : kIcons) {
            if (shown == LoadIconW(nullptr, icon.id)) {
                name = icon.name;
                break;
            }
        }
    }
    lstrcpynA(request->icon, name, sizeof request->icon);
}

// The probe leaves the process as it found it.
[[noreturn]] void UnloadProbeAndExitThread(const void* address) {
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        static_cast<LPCWSTR>(address), &self);
    FreeLibraryAndExitThread(self, 0);
}

constexpr struct {
    int id;
    const char* name;
} kSheetButtons[] = {{12323, "back"}, {12324, "next"}, {12325, "finish"}, {IDCANCEL, "cancel"}};

void RecordActivation(HWND sheet) {
    wchar_t mappingName[64];
    swprintf(mappingName, 64, L"%ls%lu", kActivationMappingPrefix, GetCurrentProcessId());
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, mappingName);
    if (!mapping) {
        return;  // the driver watches another wizard
    }
    auto* record = static_cast<ActivationRecord*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ActivationRecord)));
    if (record) {
        char buttons[sizeof record->buttons] = "";
        for (const auto& button : kSheetButtons) {
            HWND control = GetDlgItem(sheet, button.id);
            if (control && IsWindowVisible(control) && IsWindowEnabled(control)) {
                if (buttons[0]) {
                    lstrcatA(buttons, ",");
                }
                lstrcatA(buttons, button.name);
            }
        }
        CopyMemory(record->buttons, buttons, sizeof buttons);
        // The count last: the driver reads the buttons once it has changed.
        InterlockedIncrement(reinterpret_cast<volatile LONG*>(&record->activations));
        UnmapViewOfFile(record);
    }
    CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI LksReadSystemMenu(void* parameter) {
    ReadSystemMenu(static_cast<SystemMenuRequest*>(parameter));
    UnloadProbeAndExitThread(reinterpret_cast<const void*>(&LksReadSystemMenu));
}

extern "C" __declspec(dllexport) DWORD WINAPI LksReadMessageBoxIcon(void* parameter) {
    ReadMessageBoxIcon(static_cast<MessageBoxIconRequest*>(parameter));
    UnloadProbeAndExitThread(reinterpret_cast<const void*>(&LksReadMessageBoxIcon));
}

// Called on the wizard's thread after each message a window of it handled.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    LksActivationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (message->message == WM_NOTIFY) {
            const auto* header = reinterpret_cast<const NMHDR*>(message->lParam);
            // The sheet tells a page of it that it becomes the current one.
            if (header && header->code == static_cast<UINT>(PSN_SETACTIVE) &&
                GetParent(message->hwnd) == header->hwndFrom) {
                RecordActivation(header->hwndFrom);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
