// Work for the UI thread, handed over by the update worker without waiting
// for it. Under Wine a message sent to another thread costs two thread
// wake-ups, and the worker sent several for every file; now it queues them
// and goes on. The UI thread runs the work in the order it was queued, all
// of it when one message arrives, so the queue posts only when it was empty.
// Work queued before a message posted to the same thread (a download event)
// is done before that message is handled.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <cstddef>
#include <deque>
#include <functional>

namespace ui {

class UiWorkQueue {
public:
    // A worker that is this far ahead waits until the UI thread has caught up.
    static constexpr size_t kMaxPending = 1024;

    UiWorkQueue();
    ~UiWorkQueue();
    UiWorkQueue(const UiWorkQueue&) = delete;
    UiWorkQueue& operator=(const UiWorkQueue&) = delete;

    // The window whose thread runs the work, told by `message`.
    void Attach(HWND window, UINT message);

    // From any thread. On the window's own thread the pending work is done
    // first, then `work`, before this returns.
    void Run(std::function<void()> work);
    // From the window procedure on the message: does the pending work. A
    // message from elsewhere finds none, or does it early.
    void RunPending();

private:
    class Lock;

    HWND m_window = nullptr;
    UINT m_message = 0;
    DWORD m_windowThread = 0;
    CRITICAL_SECTION m_lock;
    std::deque<std::function<void()>> m_pending;
    bool m_posted = false;
};

}  // namespace ui

#endif
