// Owning wrappers for Win32 handles, each with its own invalid value and
// close function (platform/unique_resource.h).
#pragma once

#include "platform/unique_resource.h"

#include <windows.h>

namespace platform {

// What closing a Win32 handle must leave alone.
struct KeepsLastError {
    static DWORD SaveError() { return GetLastError(); }
    static void RestoreError(DWORD error) { SetLastError(error); }
};

template <typename Traits>
using UniqueHandle = UniqueResource<Traits>;

// Events, threads, processes, mutexes: null when invalid.
struct KernelHandleTraits : KeepsLastError {
    using Type = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static bool Close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
// Files and ToolHelp snapshots.
struct FileHandleTraits : KeepsLastError {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
struct FindHandleTraits : KeepsLastError {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE h) { return FindClose(h) != FALSE; }
};
struct KeyTraits : KeepsLastError {
    using Type = HKEY;
    static HKEY Invalid() { return nullptr; }
    static bool Close(HKEY h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};
struct ModuleTraits : KeepsLastError {
    using Type = HMODULE;
    static HMODULE Invalid() { return nullptr; }
    static bool Close(HMODULE h) { return FreeLibrary(h) != FALSE; }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueKey = UniqueHandle<KeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;

}  // namespace platform
