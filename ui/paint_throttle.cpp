#include "ui/paint_throttle.h"

#include <commctrl.h>

namespace ui {

bool PaintThrottle::IsHeld(HWND control) const {
    for (size_t i = 0; i < m_heldCount; ++i) {
        if (m_held[i] == control) {
            return true;
        }
    }
    return false;
}

void PaintThrottle::Hold(HWND control) {
    // WM_SETREDRAW TRUE shows the window again: a control hidden on purpose
    // is never held.
    if (!control || IsHeld(control) || m_heldCount == kMaxControls ||
        !(GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE)) {
        return;
    }
    // Without the timer nothing would paint the control again.
    if (m_heldCount == 0 && !SetTimer(m_timerOwner, kTimerId, kIntervalMs, nullptr)) {
        return;
    }
    SendMessageA(control, WM_SETREDRAW, FALSE, 0);
    m_held[m_heldCount++] = control;
}

void PaintThrottle::ShowRow(HWND list, int row) {
    Hold(list);
    if (IsHeld(list)) {
        m_listToScroll = list;
        m_rowToShow = row;
    } else {
        SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    }
}

void PaintThrottle::Resume() {
    KillTimer(m_timerOwner, kTimerId);
    for (size_t i = 0; i < m_heldCount; ++i) {
        HWND control = m_held[i];
        SendMessageA(control, WM_SETREDRAW, TRUE, 0);
        if (control == m_listToScroll) {
            SendMessageA(control, LVM_ENSUREVISIBLE, static_cast<WPARAM>(m_rowToShow), FALSE);
            m_listToScroll = nullptr;
        }
        RedrawWindow(control, nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    m_heldCount = 0;
}

}  // namespace ui
