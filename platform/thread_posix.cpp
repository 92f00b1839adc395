#include "platform/thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <sched.h>

namespace platform {

namespace {

struct ThreadStart {
    ThreadProc proc;
    void* argument;
};

void* RunThread(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.proc(start.argument);
    return nullptr;
}

struct EventImpl {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
};

EventImpl* Impl(void* p) { return static_cast<EventImpl*>(p); }

}  // namespace

bool StartThread(ThreadProc proc, void* argument) {
    auto* start = new ThreadStart{proc, argument};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int rc = pthread_create(&thread, &attr, RunThread, start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete start;
        return false;
    }
    return true;
}

bool LowerCurrentThreadPriority() {
    // Under the default scheduler Linux threads have no priority of their own;
    // SCHED_IDLE is the nearest to "lowest".
    sched_param param{};
    return pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0;
}

bool Event::Create() {
    Close();
    m_impl = new EventImpl;
    return true;
}

void Event::Set() {
    if (EventImpl* e = Impl(m_impl)) {
        std::lock_guard<std::mutex> lock(e->mutex);
        e->signalled = true;
        e->changed.notify_all();
    }
}

void Event::Reset() {
    if (EventImpl* e = Impl(m_impl)) {
        std::lock_guard<std::mutex> lock(e->mutex);
        e->signalled = false;
    }
}

bool Event::Wait(uint32_t timeoutMs) {
    EventImpl* e = Impl(m_impl);
    if (!e) {
        return false;
    }
    std::unique_lock<std::mutex> lock(e->mutex);
    if (timeoutMs == kWaitForever) {
        e->changed.wait(lock, [e] { return e->signalled; });
        return true;
    }
    return e->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [e] { return e->signalled; });
}

void Event::Close() {
    delete Impl(m_impl);
    m_impl = nullptr;
}

}  // namespace platform
