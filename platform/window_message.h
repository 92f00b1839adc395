// Asking another program's window to act, by a message registered by name.
#pragma once

namespace platform {

// Win32: sends the registered message `messageName` with 0 and 0 to the first
// top-level window of class `className` and waits until it is handled.
// Nothing when there is no such window or the name cannot be registered.
// POSIX: no such windows, nothing to do.
void SendRegisteredMessageToClass(const char* className, const char* messageName);

}  // namespace platform
