#include "platform/notify.h"

#include <chrono>

namespace platform {

void NotifyQueue::Post(const Notification& n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(n);
    m_posted.notify_one();
}

bool NotifyQueue::Take(Notification* n, uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_posted.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return !m_queue.empty(); })) {
        return false;
    }
    *n = m_queue.front();
    m_queue.pop_front();
    return true;
}

bool PostNotification(NotifyTarget target, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!target) {
        return false;
    }
    target->Post({message, wParam, lParam});
    return true;
}

}  // namespace platform
