#include "ui/thread_start.h"

#include "ui/dialog_colors.h"

#include <windows.h>

#include <new>

namespace ui {
namespace {

struct ThreadStart {
    ThreadProc proc;
    void* param;
};

DWORD WINAPI Trampoline(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    HookDialogColorsOnThisThread();
    unsigned result = start.proc(start.param);
    UnhookDialogColorsOnThisThread();
    return result;
}

}  // namespace

bool BeginThread(ThreadProc proc, void* param) {
    auto* start = new (std::nothrow) ThreadStart{proc, param};
    if (!start) {
        return false;
    }
    HANDLE thread = CreateThread(nullptr, 0, Trampoline, start, 0, nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    CloseHandle(thread);
    return true;
}

}  // namespace ui
