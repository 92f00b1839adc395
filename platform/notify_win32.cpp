#include "platform/notify.h"

#include <windows.h>

namespace platform {

bool PostNotification(NotifyTarget target, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return target && PostMessageA(target, message, wParam, lParam) != FALSE;
}

}  // namespace platform
