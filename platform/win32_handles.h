// Owning wrappers for Win32 handles: move-only, each with its own invalid
// value and close function. Closing keeps GetLastError, so an error path can
// still report the error that made it close.
#pragma once

#include <windows.h>

namespace platform {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : m_value(value) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type get() const { return m_value; }
    explicit operator bool() const { return m_value != Traits::Invalid(); }
    Type release() {
        Type value = m_value;
        m_value = Traits::Invalid();
        return value;
    }
    void reset(Type value = Traits::Invalid()) {
        if (m_value != Traits::Invalid()) {
            DWORD error = GetLastError();
            Traits::Close(m_value);
            SetLastError(error);
        }
        m_value = value;
    }
    // Resets first, so handing the address to an API cannot leak a held handle.
    Type* put() {
        reset();
        return &m_value;
    }

private:
    Type m_value = Traits::Invalid();
};

// Events, threads, processes, mutexes: null when invalid.
struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
// Files and ToolHelp snapshots.
struct FileHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};
struct KeyTraits {
    using Type = HKEY;
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueKey = UniqueHandle<KeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;

}  // namespace platform
