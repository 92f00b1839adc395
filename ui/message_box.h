// Message boxes of the program, shown as the framework shows its own:
// captioned with the program file's base name ("lksupdate" or
// "lksupdate_tmp"), owned by the active window of the thread, and with the
// framework's icon when the caller names none.
#pragma once

#ifdef _WIN32

#include <windows.h>

namespace ui {

int ShowMessageBox(const char* text, UINT type = MB_OK);

// `type` with the icon the framework adds to a box that names none: the
// exclamation mark to OK and OK/Cancel boxes, the question mark to Yes/No and
// Yes/No/Cancel boxes, none to the others.
UINT FrameworkMessageBoxType(UINT type);

// The program file's base name without extension.
const char* ProgramName();

}  // namespace ui

#endif
