#include "ui/ui_work_queue.h"

#include <utility>

namespace ui {

class UiWorkQueue::Lock {
public:
    explicit Lock(CRITICAL_SECTION& section) : m_section(section) {
        EnterCriticalSection(&m_section);
    }
    ~Lock() { LeaveCriticalSection(&m_section); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};

UiWorkQueue::UiWorkQueue() { InitializeCriticalSection(&m_lock); }

UiWorkQueue::~UiWorkQueue() { DeleteCriticalSection(&m_lock); }

void UiWorkQueue::Attach(HWND window, UINT message) {
    m_window = window;
    m_message = message;
    m_windowThread = GetWindowThreadProcessId(window, nullptr);
}

void UiWorkQueue::Run(std::function<void()> work) {
    // Before Attach there is no window to post to (a null one would post to
    // the caller's own thread): only the UI thread itself can be calling.
    if (!m_window || m_windowThread == GetCurrentThreadId()) {
        RunPending();
        work();
        return;
    }
    bool post = false;
    bool full = false;
    {
        Lock lock(m_lock);
        m_pending.push_back(std::move(work));
        post = !m_posted;
        m_posted = true;
        full = m_pending.size() >= kMaxPending;
    }
    // A full thread queue refuses the post: then, as when far ahead, the
    // worker waits while the UI thread does everything pending.
    if (full || (post && !PostMessageA(m_window, m_message, 0, 0))) {
        SendMessageA(m_window, m_message, 0, 0);
    }
}

void UiWorkQueue::RunPending() {
    std::deque<std::function<void()>> batch;
    {
        Lock lock(m_lock);
        batch.swap(m_pending);
        // Work queued from here on posts again.
        m_posted = false;
    }
    for (const std::function<void()>& work : batch) {
        work();
    }
}

}  // namespace ui
