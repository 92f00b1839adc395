#include "platform/window_message.h"

#include <windows.h>

namespace platform {

void SendRegisteredMessageToClass(const char* className, const char* messageName) {
    HWND window = FindWindowA(className, nullptr);
    if (!window) {
        return;
    }
    UINT message = RegisterWindowMessageA(messageName);
    if (message == 0) {
        return;
    }
    SendMessageA(window, message, 0, 0);
}

}  // namespace platform
