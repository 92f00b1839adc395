#include "ui/data_exchange.h"

#include <vector>

namespace ui {

void DataExchange::Text(int id, std::string& value) {
    HWND control = GetDlgItem(m_hDialog, id);
    if (!control) {
        return;
    }
    if (!m_bSave) {
        SetWindowTextA(control, value.c_str());
        return;
    }
    int length = GetWindowTextLengthA(control);
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    int got = GetWindowTextA(control, text.data(), length + 1);
    value.assign(text.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

void DataExchange::Radio(int firstId, int& value) {
    HWND button = GetDlgItem(m_hDialog, firstId);
    if (m_bSave) {
        value = -1;
    }
    for (int index = 0; button; ++index) {
        if (m_bSave) {
            if (SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED) {
                value = index;
            }
        } else {
            SendMessageA(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        button = GetWindow(button, GW_HWNDNEXT);
        if (button && (GetWindowLongA(button, GWL_STYLE) & WS_GROUP)) {
            break;
        }
    }
}

void DataExchange::Control(int id, HWND& control) {
    if (!control) {
        control = GetDlgItem(m_hDialog, id);
    }
}

}  // namespace ui
