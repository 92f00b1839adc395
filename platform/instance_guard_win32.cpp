#include "platform/instance_guard.h"

#include "platform/win32_handles.h"

bool AcquireUpdaterGuard() {
    static HANDLE held = nullptr;
    if (held) {
        return true;
    }
    platform::UniqueKernelHandle mutex(CreateMutexA(nullptr, TRUE, "VTRX_AUTOUPDATE_MUTEX"));
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        return false;
    }
    // Never closed: the system releases the mutex when the process ends.
    held = mutex.release();
    return true;
}
