#include "platform/process_snapshot.h"

#include "platform/fs.h"
#include "platform/system_library.h"
#include "platform/win32_handles.h"

#include <tlhelp32.h>

#include <cstring>
#include <type_traits>
#include <vector>

namespace platform {

static_assert(std::is_same_v<ModuleHandle, HINSTANCE>, "ModuleHandle must be HINSTANCE");
static_assert(std::is_same_v<ProcessHandle, HANDLE>, "ProcessHandle must be HANDLE");

namespace {

// What a process must grant for its module list and file names.
constexpr DWORD kInspectAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

// Declared here rather than taken from <psapi.h>, whose names become the K32
// functions of kernel32 on newer systems: nothing of PSAPI may be bound at load.
using EnumProcessesFn = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE process, HMODULE* modules, DWORD bytes,
                                           DWORD* bytesNeeded);
using GetModuleFileNameExAFn = DWORD(WINAPI*)(HANDLE process, HMODULE module, LPSTR name,
                                              DWORD size);
using CreateToolhelp32SnapshotFn = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
using Process32Fn = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32* entry);
using Module32Fn = BOOL(WINAPI*)(HANDLE snapshot, MODULEENTRY32* entry);

// GetProcAddress as a typed pointer; null when the function is missing. The
// detour through void(*)() is the cast GCC accepts between function types.
template <typename Fn>
Fn LookUp(const UniqueModule& library, const char* name) {
    if (!library) {
        return nullptr;
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(library.get(), name)));
}

// From the system folder: a psapi.dll beside the program is not the system's.
UniqueModule LoadPsapi() { return UniqueModule(LoadSystemLibrary("psapi.dll")); }
UniqueModule LoadKernel32() { return UniqueModule(LoadSystemLibrary("kernel32.dll")); }

DWORD BufferSize(size_t size) { return static_cast<DWORD>(size > MAXDWORD ? MAXDWORD : size); }

// Copies the text in `text` (a field of `textSize` bytes) into `out` (`size`
// bytes); empty when it is not terminated within the field or does not fit.
void CopyWhole(const char* text, size_t textSize, char* out, size_t size) {
    size_t length = strnlen(text, textSize);
    if (length < textSize && length < size) {
        std::memcpy(out, text, length + 1);
    } else {
        out[0] = '\0';
    }
}

}  // namespace

bool IsNtFamily() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

void ListProcessesWithPsapi(size_t limit, const ProcessVisitor& visit) {
    UniqueModule psapi = LoadPsapi();
    auto enumProcesses = LookUp<EnumProcessesFn>(psapi, "EnumProcesses");
    auto enumModules = LookUp<EnumProcessModulesFn>(psapi, "EnumProcessModules");
    auto fileName = LookUp<GetModuleFileNameExAFn>(psapi, "GetModuleFileNameExA");
    if (!enumProcesses || !enumModules || !fileName || limit == 0) {
        return;
    }
    std::vector<DWORD> ids(limit);
    DWORD filled = 0;
    if (!enumProcesses(ids.data(), BufferSize(ids.size() * sizeof(DWORD)), &filled)) {
        return;
    }
    size_t count = filled / sizeof(DWORD);
    if (count > limit) {
        count = limit;
    }
    for (size_t i = 0; i < count; ++i) {
        char path[kMaxPath] = "";
        UniqueKernelHandle process(OpenProcess(kInspectAccess, FALSE, ids[i]));
        HMODULE first = nullptr;
        DWORD needed = 0;
        // The first module of a process is its executable.
        if (process && enumModules(process.get(), &first, sizeof(first), &needed) &&
            needed >= sizeof(first)) {
            if (fileName(process.get(), first, path, sizeof(path)) == 0) {
                path[0] = '\0';
            }
            path[sizeof(path) - 1] = '\0';
        }
        visit(ids[i], path);
    }
}

void ListProcessesWithToolhelp(size_t limit, const ProcessVisitor& visit) {
    UniqueModule kernel32 = LoadKernel32();
    auto createSnapshot = LookUp<CreateToolhelp32SnapshotFn>(kernel32, "CreateToolhelp32Snapshot");
    auto first = LookUp<Process32Fn>(kernel32, "Process32First");
    auto next = LookUp<Process32Fn>(kernel32, "Process32Next");
    if (!createSnapshot || !first || !next) {
        return;
    }
    UniqueFileHandle snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    size_t count = 0;
    for (BOOL more = first(snapshot.get(), &entry); more && count < limit;
         more = next(snapshot.get(), &entry), ++count) {
        char path[kMaxPath];
        CopyWhole(entry.szExeFile, sizeof(entry.szExeFile), path, sizeof(path));
        visit(entry.th32ProcessID, path);
    }
}

size_t ListModulesWithPsapi(uint32_t processId, ModuleHandle* table, size_t capacity) {
    UniqueModule psapi = LoadPsapi();
    auto enumModules = LookUp<EnumProcessModulesFn>(psapi, "EnumProcessModules");
    if (!enumModules) {
        return 0;
    }
    UniqueKernelHandle process(OpenProcess(kInspectAccess, FALSE, processId));
    DWORD needed = 0;
    if (!process ||
        !enumModules(process.get(), table, BufferSize(capacity * sizeof(*table)), &needed)) {
        return 0;
    }
    // `needed` counts every module the process holds, also those that did not fit.
    size_t count = needed / sizeof(*table);
    return count < capacity ? count : capacity;
}

size_t ListModulesWithToolhelp(uint32_t processId, ModuleHandle* table, size_t capacity) {
    UniqueModule kernel32 = LoadKernel32();
    auto createSnapshot = LookUp<CreateToolhelp32SnapshotFn>(kernel32, "CreateToolhelp32Snapshot");
    auto first = LookUp<Module32Fn>(kernel32, "Module32First");
    auto next = LookUp<Module32Fn>(kernel32, "Module32Next");
    if (!createSnapshot || !first || !next) {
        return 0;
    }
    UniqueFileHandle snapshot(createSnapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot) {
        return 0;
    }
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    size_t count = 0;
    for (BOOL more = first(snapshot.get(), &entry); more && count < capacity;
         more = next(snapshot.get(), &entry)) {
        table[count++] = entry.hModule;
    }
    return count;
}

void ModuleFileNameWithPsapi(ProcessHandle process, ModuleHandle module, char* buffer,
                             size_t size) {
    if (size == 0) {
        return;
    }
    buffer[0] = '\0';
    UniqueModule psapi = LoadPsapi();
    auto fileName = LookUp<GetModuleFileNameExAFn>(psapi, "GetModuleFileNameExA");
    if (fileName && fileName(process, module, buffer, BufferSize(size)) == 0) {
        buffer[0] = '\0';
    }
    buffer[size - 1] = '\0';
}

void ModuleFileNameOfOwn(ModuleHandle module, char* buffer, size_t size) {
    if (size == 0) {
        return;
    }
    buffer[0] = '\0';
    // Before Vista a cut name is not terminated.
    if (GetModuleFileNameA(module, buffer, BufferSize(size)) == 0) {
        buffer[0] = '\0';
    }
    buffer[size - 1] = '\0';
}

}  // namespace platform
