// Steps on processes by window, id or program file name, and on the mutex
// that each running updater holds.

#include "commands.h"
#include "output.h"
#include "window_lookup.h"

#include <tlhelp32.h>

#include <vector>

namespace driver {
namespace {

int EndProcess(DWORD pid, DWORD ms) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) {
        return Fail("cannot open process %lu (error %lu)", pid, GetLastError());
    }
    TerminateProcess(process, 1);
    DWORD waited = WaitForSingleObject(process, ms);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0) {
        return Fail("process %lu did not end within %lu ms", pid, ms);
    }
    PrintNumber("ended", pid);
    return 0;
}

bool MutexExists() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName);
    DWORD error = GetLastError();
    if (mutex) {
        CloseHandle(mutex);
    }
    return mutex || error == ERROR_ACCESS_DENIED;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& name) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return pids;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, name.c_str()) == 0) {
            pids.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return pids;
}

void PrintProcesses(const std::vector<DWORD>& pids) {
    PrintNumber("count", static_cast<long long>(pids.size()));
    for (DWORD pid : pids) {
        Print("process", std::to_string(pid) + " " + OneLine(Utf8(ProcessImage(pid))));
    }
}

}  // namespace

int Kill(const Args& args) {
    TakenWindow taken = TakeWindowAndWait(args);
    if (taken.status) {
        return taken.status;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(taken.window, &pid);
    return EndProcess(pid, taken.ms);
}

int EndProcessStep(const Args& args) {
    long pid = 0;
    DWORD ms;
    if (!args.Has(0) || !ParseNumber(args.words[0], &pid) || pid <= 0 || !WaitArg(args, 1, &ms)) {
        return kBadUsage;
    }
    return EndProcess(static_cast<DWORD>(pid), ms);
}

int Mutex(const Args&) {
    Print("mutex", MutexExists() ? "present" : "absent");
    return 0;
}

// The mutex lives while any process has a handle to it: a second updater
// opens it too, and lets go only when it ends.
int WaitMutex(const Args& args) {
    WantedState wanted = WantAndWait(args);
    if (!wanted.ok || (wanted.want != "present" && wanted.want != "absent")) {
        return kBadUsage;
    }
    bool present = wanted.want == "present";
    if (!PollUntil(wanted.ms, [&] { return MutexExists() == present; })) {
        return Fail("the mutex is not %s after %lu ms", wanted.want.c_str(), wanted.ms);
    }
    return 0;
}

int Processes(const Args& args) {
    if (!args.Has(0)) {
        return kBadUsage;
    }
    PrintProcesses(ProcessesNamed(args.words[0]));
    return 0;
}

int WaitProcesses(const Args& args) {
    long count = 0;
    DWORD ms;
    if (!args.Has(1) || !ParseNumber(args.words[1], &count) || !WaitArg(args, 2, &ms)) {
        return kBadUsage;
    }
    std::vector<DWORD> pids;
    bool ok = PollUntil(ms, [&] {
        pids = ProcessesNamed(args.words[0]);
        return static_cast<long>(pids.size()) == count;
    });
    PrintProcesses(pids);
    return ok ? 0 : Fail("not %ld such processes after %lu ms", count, ms);
}

}  // namespace driver
