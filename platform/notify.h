// Notifications from worker threads to the display's thread. Windows posts a
// window message; POSIX puts it on a queue that the front end drains. Posting
// never waits for the receiver.
#pragma once

#include <cstdint>

#ifdef _WIN32
struct HWND__;
#else
#include <condition_variable>
#include <deque>
#include <mutex>
#endif

namespace platform {

struct Notification {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

#ifdef _WIN32
using NotifyTarget = HWND__*;
#else
class NotifyQueue {
public:
    void Post(const Notification& n);
    // Takes the oldest notification, waiting at most `timeoutMs` for one.
    bool Take(Notification* n, uint32_t timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<Notification> m_queue;
};
using NotifyTarget = NotifyQueue*;
#endif

// Posts to `target`; a null target takes nothing. False when it could not be queued.
bool PostNotification(NotifyTarget target, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace platform
