// Moving values between a page's members and its controls, in one direction
// per pass: from the controls when saving, into them otherwise.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>

namespace ui {

class DataExchange {
public:
    DataExchange(HWND dialog, bool save) : m_hDialog(dialog), m_bSave(save) {}

    // The text of control `id`.
    void Text(int id, std::string& value);
    // The index of the checked button in the radio group that starts at
    // `firstId` (the buttons up to the next control that starts a group);
    // -1 when none is checked.
    void Radio(int firstId, int& value);
    // The control's window, for a wrapper to bind to.
    void Control(int id, HWND& control);

    bool Saving() const { return m_bSave; }

private:
    HWND m_hDialog;
    bool m_bSave;
};

}  // namespace ui

#endif
