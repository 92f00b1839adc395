#include "ui/controls.h"

#include <commctrl.h>

namespace ui {

void ListViewControl::InsertColumn(int column, const char* heading, int width) {
    LVCOLUMNA col = {};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    col.fmt = LVCFMT_LEFT;
    col.cx = width;
    col.pszText = const_cast<char*>(heading);
    SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&col));
}

int ListViewControl::GetItemCount() const {
    return static_cast<int>(SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0));
}

int ListViewControl::InsertItem(int row, const std::string& text) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = 0;
    return static_cast<int>(
        SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListViewControl::SetItemText(int row, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(m_hWnd, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

void ProgressControl::SetRange16(int upper) {
    SendMessageA(m_hWnd, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(upper)));
}

void ProgressControl::SetRange32(int upper) { SendMessageA(m_hWnd, PBM_SETRANGE32, 0, upper); }

void ProgressControl::SetPos(int pos) {
    SendMessageA(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

int ProgressControl::GetUpper() const {
    return static_cast<int>(SendMessageA(m_hWnd, PBM_GETRANGE, FALSE, 0));
}

}  // namespace ui
