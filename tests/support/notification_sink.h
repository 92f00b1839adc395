// Receives the notifications that a download client posts, the way the
// product's display does: a message-only window on Windows, a queue on POSIX.
// Use it from one thread: the one that made it.
#pragma once

#include "platform/notify.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace testsupport {

class NotificationSink {
public:
    NotificationSink();
    ~NotificationSink();
    NotificationSink(const NotificationSink&) = delete;
    NotificationSink& operator=(const NotificationSink&) = delete;

    platform::NotifyTarget target() const;
    // The next notification, waiting at most `timeoutMs`.
    bool Next(platform::Notification* n, uint32_t timeoutMs);
    // Everything up to and including the first notification that `isLast`
    // accepts; stops early (and returns what came) when `timeoutMs` passes
    // without one.
    std::vector<platform::Notification> CollectUntil(
        const std::function<bool(const platform::Notification&)>& isLast, uint32_t timeoutMs);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace testsupport
