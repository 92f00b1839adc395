#include "platform/thread.h"

#include "platform/win32_handles.h"

#include <process.h>

namespace platform {

namespace {

struct ThreadStart {
    ThreadProc proc;
    void* argument;
};

// _beginthreadex wants a __stdcall function; ours are plain ones on 32-bit.
unsigned __stdcall RunThread(void* raw) {
    ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    return start.proc(start.argument);
}

}  // namespace

bool StartThread(ThreadProc proc, void* argument) {
    auto* start = new ThreadStart{proc, argument};
    // _beginthreadex keeps the C runtime's per-thread state right.
    UniqueKernelHandle thread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunThread, start, 0, nullptr)));
    if (!thread) {
        delete start;
        return false;
    }
    return true;
}

bool LowerCurrentThreadPriority() {
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST) != FALSE;
}

bool Event::Create() {
    Close();
    m_impl = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return m_impl != nullptr;
}

void Event::Set() {
    if (m_impl) {
        SetEvent(m_impl);
    }
}

void Event::Reset() {
    if (m_impl) {
        ResetEvent(m_impl);
    }
}

bool Event::Wait(uint32_t timeoutMs) {
    return m_impl && WaitForSingleObject(
                         m_impl, timeoutMs == kWaitForever ? INFINITE : timeoutMs) == WAIT_OBJECT_0;
}

void Event::Close() {
    UniqueKernelHandle handle(static_cast<HANDLE>(m_impl));
    m_impl = nullptr;
}

}  // namespace platform
