// Message boxes of the program: captioned with the program file's base name
// ("lksupdate" or "lksupdate_tmp"), owned by the active window of the thread.
#pragma once

#ifdef _WIN32

#include <windows.h>

namespace ui {

int ShowMessageBox(const char* text, UINT type = MB_OK);

// The program file's base name without extension.
const char* ProgramName();

}  // namespace ui

#endif
