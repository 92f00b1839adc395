#include "probe_client.h"

#include "remote_buffer.h"
#include "wizard_probe.h"

#include <tlhelp32.h>

#include <cstring>

namespace {

constexpr wchar_t kProbeName[] = L"lks-wizard-probe.dll";

std::wstring BaseName(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Load address of the module named `name` in process `pid`; 0 when absent.
uintptr_t RemoteModuleBase(DWORD pid, const std::wstring& name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    uintptr_t base = 0;
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(snapshot, &entry); more && !base;
         more = Module32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szModule, name.c_str()) == 0) {
            base = reinterpret_cast<uintptr_t>(entry.modBaseAddr);
        }
    }
    CloseHandle(snapshot);
    return base;
}

// Where the code at `local` (in a module loaded here) lies in process `pid`,
// which has the same module loaded, perhaps at another address.
uintptr_t RemoteAddress(DWORD pid, const void* local) {
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = L"";
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(local), &module) ||
        !GetModuleFileNameW(module, path, MAX_PATH)) {
        return 0;
    }
    uintptr_t base = RemoteModuleBase(pid, BaseName(path));
    if (!base) {
        return 0;
    }
    return base + (reinterpret_cast<uintptr_t>(local) - reinterpret_cast<uintptr_t>(module));
}

// Runs `start(parameter)` on a new thread of the process; its exit code.
bool RunRemote(HANDLE process, uintptr_t start, uintptr_t parameter, DWORD ms, DWORD* exitCode) {
    HANDLE thread =
        CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                           reinterpret_cast<void*>(parameter), 0, nullptr);
    if (!thread) {
        return false;
    }
    bool ended = WaitForSingleObject(thread, ms) == WAIT_OBJECT_0;
    ended = ended && GetExitCodeThread(thread, exitCode);
    CloseHandle(thread);
    return ended;
}

std::wstring ProbePath() {
    wchar_t path[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    std::wstring self(path, length);
    size_t slash = self.find_last_of(L"\\/");
    return self.substr(0, slash == std::wstring::npos ? 0 : slash + 1) + kProbeName;
}

}  // namespace

bool RunProbe(HWND window, const char* procedureName, void* request, size_t size, DWORD ms,
              std::string* error) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    std::wstring probePath = ProbePath();
    HMODULE probe = LoadLibraryW(probePath.c_str());
    if (!probe) {
        *error = "cannot load lks-wizard-probe.dll next to the driver";
        return false;
    }
    FARPROC procedure = GetProcAddress(probe, procedureName);
    uintptr_t procedureOffset =
        reinterpret_cast<uintptr_t>(procedure) - reinterpret_cast<uintptr_t>(probe);

    size_t pathBytes = (probePath.size() + 1) * sizeof(wchar_t);
    // The buffer first holds the probe's path, then the request.
    RemoteBuffer remote(pid, size > pathBytes ? size : pathBytes);
    if (!procedure || !remote.Address()) {
        FreeLibrary(probe);
        *error = "no buffer in the window's process";
        return false;
    }
    // Load the probe there: LoadLibraryW runs as the thread procedure.
    uintptr_t loadLibrary =
        RemoteAddress(pid, reinterpret_cast<const void*>(
                               GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    DWORD loaded = 0;
    if (!loadLibrary || !remote.Write(0, probePath.c_str(), pathBytes) ||
        !RunRemote(remote.Process(), loadLibrary, remote.Address(), ms, &loaded) || !loaded) {
        FreeLibrary(probe);
        *error = "cannot load the probe into the window's process";
        return false;
    }
    uintptr_t remoteProbe = RemoteModuleBase(pid, kProbeName);
    FreeLibrary(probe);
    if (!remoteProbe) {
        *error = "the probe is not among the window's process's modules";
        return false;
    }
    DWORD ignored = 0;
    if (!remote.Write(0, request, size) ||
        !RunRemote(remote.Process(), remoteProbe + procedureOffset, remote.Address(), ms,
                   &ignored) ||
        !remote.Read(0, request, size)) {
        *error = "the probe did not answer";
        return false;
    }
    return true;
}

HMODULE LoadProbeHere() { return LoadLibraryW(ProbePath().c_str()); }

bool ReadRemoteSystemMenu(HWND window, DWORD ms, std::vector<std::wstring>* items,
                          std::string* error) {
    SystemMenuRequest request = {};
    request.window = reinterpret_cast<uintptr_t>(window);
    if (!RunProbe(window, LKS_PROBE_READ_SYSTEM_MENU, &request, sizeof request, ms, error)) {
        return false;
    }
    if (request.count < 0) {
        *error = "the window has no system menu";
        return false;
    }
    request.texts[kProbeTextChars - 1] = L'\0';
    std::wstring texts = request.texts;
    size_t start = 0;
    for (int32_t i = 0; i < request.count; ++i) {
        size_t end = texts.find(L'\n', start);
        if (end == std::wstring::npos) {
            break;
        }
        items->push_back(texts.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

bool ReadRemoteMessageBoxIcon(HWND box, DWORD ms, std::string* icon, std::string* error) {
    MessageBoxIconRequest request = {};
    request.window = reinterpret_cast<uintptr_t>(box);
    if (!RunProbe(box, LKS_PROBE_READ_MESSAGE_BOX_ICON, &request, sizeof request, ms, error)) {
        return false;
    }
    request.icon[sizeof request.icon - 1] = '\0';
    *icon = request.icon;
    return true;
}
