// The instance's dialog colours: its dialogs and message boxes share the
// wizard's light-blue background.
#pragma once

#ifdef _WIN32

#include <windows.h>

namespace ui {

constexpr COLORREF kDialogBackground = RGB(214, 230, 255);
constexpr COLORREF kDialogText = RGB(0, 0, 0);

// Paints every dialog created from now on on this thread, and on the threads
// that hook them too, with `background` and `text`. The first
// call's colours hold for the whole process.
void SetDialogBkColor(COLORREF background, COLORREF text);

// The same for dialogs of the calling thread, once SetDialogBkColor was called.
void HookDialogColorsOnThisThread();
void UnhookDialogColorsOnThisThread();

}  // namespace ui

#endif
