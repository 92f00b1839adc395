// Plays the user at another thread's windows: finds a top-level window, reads
// a message box's text, presses a button. Windows only.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>
#include <vector>

namespace processtest {

// Polls for a top-level window of this class and title (null: any) in short
// steps, for at most `timeoutMs`. Null when none appeared.
HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs);
// The same for a window that is shown: a dialog is shown once it is set up.
HWND WaitForShownWindow(const char* className, const char* title, DWORD timeoutMs);

// Polls until `window` is destroyed, for at most `timeoutMs`.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);

// The text of the dialog's first static control that has one: a message box's message.
std::string MessageText(HWND dialog);

// The control ids of the dialog's visible buttons, in ascending order.
std::vector<int> VisibleButtons(HWND dialog);

// Presses the dialog's button with control id `id` as a click would.
bool PressButton(HWND dialog, int id);

}  // namespace processtest

#endif
