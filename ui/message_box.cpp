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

int ShowMessageBox(const char* text, UINT type) {
    return MessageBoxA(GetActiveWindow(), text, ProgramName(), type);
}

}  // namespace ui
