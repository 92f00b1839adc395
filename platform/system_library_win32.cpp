#include "platform/system_library.h"

#include <cstring>

namespace platform {

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD flags);

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800;
#endif

// kernel32 is always loaded: it is mapped into every process before the program.
FARPROC Kernel32Function(const char* name) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 ? GetProcAddress(kernel32, name) : nullptr;
}

// The LOAD_LIBRARY_SEARCH_* flags came with the same update as AddDllDirectory;
// an older LoadLibraryExA fails on them.
bool SystemKnowsSearchFlags() { return Kernel32Function("AddDllDirectory") != nullptr; }

}  // namespace

bool RestrictDllSearchToSystemFolder() {
    // The detour through void(*)() is the cast GCC accepts between function types.
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(Kernel32Function("SetDefaultDllDirectories")));
    return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void PreloadSystemLibraries() {
    static const char* const kLoadedLater[] = {"uxtheme.dll"};
    for (const char* name : kLoadedLater) {
        LoadSystemLibrary(name);  // kept for the process's life
    }
}

HMODULE LoadSystemLibrary(const char* name) {
    if (!name || !*name || std::strpbrk(name, "\\/:")) {
        return nullptr;  // a bare file name only
    }
    if (SystemKnowsSearchFlags()) {
        return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    size_t nameLength = std::strlen(name);
    if (length == 0 || length >= sizeof path || length + 1 + nameLength >= sizeof path) {
        return nullptr;
    }
    path[length] = '\\';
    std::memcpy(path + length + 1, name, nameLength + 1);
    // With a full path, the DLL's own imports are looked for in its folder first.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace platform
