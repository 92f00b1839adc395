// Paints the progress page's controls at most once per interval while the
// worker changes them. Each row, text or bar position would otherwise be
// painted (and, under Wine, flushed to the X server) before the worker could
// send the next, and over a long update that painting cost more than the
// update itself. The controls take every change at once, as before; only
// their pictures wait, for at most one interval. Every call on the UI thread.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <cstddef>

namespace ui {

class PaintThrottle {
public:
    // About 20 pictures a second: smooth to the eye, a few hundred in all.
    static constexpr UINT kIntervalMs = 50;
    static constexpr UINT_PTR kTimerId = 0x4C4B;
    // The progress page's list, status line and two bars.
    static constexpr size_t kMaxControls = 4;

    // `timerOwner` (the controls' dialog) receives the WM_TIMER.
    explicit PaintThrottle(HWND timerOwner = nullptr) : m_timerOwner(timerOwner) {}

    // Before `control` changes: its painting waits for the next interval.
    // Painted at once as before when no timer can be had, and never held
    // while hidden.
    void Hold(HWND control);
    // Brings `row` of `list` into view, when painting resumes if the list is
    // held: scrolling a list that does not paint costs as much as painting.
    void ShowRow(HWND list, int row);
    // From WM_TIMER with kTimerId: paints what changed while held.
    void Resume();

private:
    bool IsHeld(HWND control) const;

    HWND m_timerOwner;
    HWND m_held[kMaxControls] = {};
    size_t m_heldCount = 0;
    HWND m_listToScroll = nullptr;
    int m_rowToShow = -1;
};

}  // namespace ui

#endif
