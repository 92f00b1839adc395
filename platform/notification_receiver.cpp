#include "platform/notification_receiver.h"

#include <chrono>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
struct NotificationReceiver::Impl {
    HWND window = nullptr;
};

NotificationReceiver::NotificationReceiver() : m_impl(new Impl) {
    m_impl->window = CreateWindowExA(0, "STATIC", "lks-notifications", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
}

NotificationReceiver::~NotificationReceiver() {
    if (m_impl->window) {
        DestroyWindow(m_impl->window);
    }
}

NotifyTarget NotificationReceiver::target() const { return m_impl->window; }

bool NotificationReceiver::Next(Notification* n, uint32_t timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, m_impl->window, 0, 0, PM_REMOVE)) {
            if (msg.message >= WM_USER) {
                *n = {msg.message, msg.wParam, msg.lParam};
                return true;
            }
            DispatchMessageA(&msg);
            continue;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()),
                                  QS_POSTMESSAGE | QS_SENDMESSAGE);
    }
}
#else
struct NotificationReceiver::Impl {
    NotifyQueue queue;
};

NotificationReceiver::NotificationReceiver() : m_impl(new Impl) {}
NotificationReceiver::~NotificationReceiver() = default;

NotifyTarget NotificationReceiver::target() const { return &m_impl->queue; }

bool NotificationReceiver::Next(Notification* n, uint32_t timeoutMs) {
    return m_impl->queue.Take(n, timeoutMs);
}
#endif

std::vector<Notification> NotificationReceiver::CollectUntil(
    const std::function<bool(const Notification&)>& isLast, uint32_t timeoutMs) {
    std::vector<Notification> got;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        Notification n;
        if (left.count() <= 0 || !Next(&n, static_cast<uint32_t>(left.count()))) {
            return got;
        }
        got.push_back(n);
        if (isLast(n)) {
            return got;
        }
    }
}

}  // namespace platform
