#include "ui/message_box.h"

#include <cstring>

namespace ui {

const char* ProgramName() {
    // Filled once, on first use by the UI thread.
    static char name[MAX_PATH] = {};
    if (!name[0]) {
        char path[MAX_PATH] = {};
        DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
        if (length == 0 || length >= sizeof path) {
            lstrcpynA(name, "lksupdate", sizeof name);
            return name;
        }
        const char* base = path;
        for (const char* p = path; *p; p = CharNextA(p)) {
            if (*p == '\\' || *p == '/' || *p == ':') {
                base = p + 1;
            }
        }
        lstrcpynA(name, base, sizeof name);
        char* dot = strrchr(name, '.');
        if (dot && dot != name) {
            *dot = '\0';
        }
    }
    return name;
}

UINT FrameworkMessageBoxType(UINT type) {
    if ((type & MB_ICONMASK) != 0) {
        return type;
    }
    switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL: return type | MB_ICONEXCLAMATION;
        case MB_YESNO:
        case MB_YESNOCANCEL: return type | MB_ICONQUESTION;
        default: return type;
    }
}

int ShowMessageBox(const char* text, UINT type) {
    return MessageBoxA(GetActiveWindow(), text, ProgramName(), FrameworkMessageBoxType(type));
}

}  // namespace ui
