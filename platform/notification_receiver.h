// Receives notifications on the thread that made it, for front ends without a
// window of their own (the console programs, the tests): a message-only
// window on Windows, a queue on POSIX.
#pragma once

#include "platform/notify.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

class NotificationReceiver {
public:
    NotificationReceiver();
    ~NotificationReceiver();
    NotificationReceiver(const NotificationReceiver&) = delete;
    NotificationReceiver& operator=(const NotificationReceiver&) = delete;

    NotifyTarget target() const;
    // The next notification, waiting at most `timeoutMs`.
    bool Next(Notification* n, uint32_t timeoutMs);
    // Everything up to and including the first notification that `isLast`
    // accepts; stops early (and returns what came) when `timeoutMs` passes
    // without one.
    std::vector<Notification> CollectUntil(const std::function<bool(const Notification&)>& isLast,
                                           uint32_t timeoutMs);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
