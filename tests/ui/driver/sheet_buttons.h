// The wizard's own buttons (back, next, finish, cancel): which a user could
// press, and pressing one as a user would.
#pragma once

#include <windows.h>

#include <string>

namespace driver {

struct SheetPress {
    const char* name;  // as the steps name it
    int id;            // the button's control id in the sheet
    WPARAM button;     // PSBTN_*
};

// The usable ones, comma-separated, in the order back, next, finish, cancel.
std::string SheetButtons(HWND sheet);

// The press called `word`; null when no button is.
const SheetPress* FindPress(const std::wstring& word);

// Presses the button: 0 when pressed, 1 when it is hidden or disabled.
int PressOn(HWND sheet, const SheetPress& press);

}  // namespace driver
