// Threads and the manual-reset event, the one synchronisation object of an update.
#pragma once

#include <cstdint>

namespace platform {

constexpr uint32_t kWaitForever = 0xFFFFFFFF;

using ThreadProc = unsigned (*)(void* argument);

// Starts `proc` on a new thread at normal priority with the default stack; the
// thread runs detached and ends by returning. False when no thread could be made.
bool StartThread(ThreadProc proc, void* argument);

// A non-null value that stands for the calling thread while it runs.
inline void* CurrentThreadMarker() {
    static thread_local char marker;
    return &marker;
}

// Lowers the calling thread to the lowest priority (THREAD_PRIORITY_LOWEST).
bool LowerCurrentThreadPriority();

// A manual-reset event, created not signalled. All zero until Create, so a
// static object holding one needs no constructor to run first.
class Event {
public:
    constexpr Event() = default;
    ~Event() { Close(); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Closes any earlier event and creates a new one.
    bool Create();
    bool IsValid() const { return m_impl != nullptr; }
    void Set();
    void Reset();
    // True when signalled within `timeoutMs` (kWaitForever: no limit).
    bool Wait(uint32_t timeoutMs = kWaitForever);
    void Close();

private:
    void* m_impl = nullptr;
};

}  // namespace platform
