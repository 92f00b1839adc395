// Asking the user a yes-or-no question.
#pragma once

namespace platform {

// Win32: a message box with OK and Cancel, no owner window and no icon; true
// when the user chose OK. POSIX has no user interface here: Cancel.
bool AskOkCancelBox(const char* text, const char* title);

}  // namespace platform
