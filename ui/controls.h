// Thin wrappers over the common controls the progress page uses, each call a
// sent message. The page makes them on the UI thread, from the work the
// update worker queues for it.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>

namespace ui {

class ListViewControl {
public:
    HWND& Handle() { return m_hWnd; }

    void InsertColumn(int column, const char* heading, int width);
    int GetItemCount() const;
    // Inserts a row with `text` in column 0 (image 0); its index, or -1.
    int InsertItem(int row, const std::string& text);
    void SetItemText(int row, int column, const std::string& text);

private:
    HWND m_hWnd = nullptr;
};

class ProgressControl {
public:
    HWND& Handle() { return m_hWnd; }

    // 0..upper through PBM_SETRANGE: only the low 16 bits of `upper` count.
    void SetRange16(int upper);
    // 0..upper through PBM_SETRANGE32: the full value.
    void SetRange32(int upper);
    void SetPos(int pos);
    int GetUpper() const;

private:
    HWND m_hWnd = nullptr;
};

}  // namespace ui

#endif
