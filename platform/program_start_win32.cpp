#include "platform/program_start.h"

#include "platform/system_library.h"

#include <shellapi.h>

#include <vector>

namespace platform {

namespace {

constexpr char kElevateVerb[] = "runas";

using ShellExecuteExAFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA* info);

class SystemStarter : public ProgramStarter {
public:
    UniqueKernelHandle Start(const ProgramStart& start) override {
        return start.call == StartCall::kShellExecuteEx ? ShellExecute(start) : Create(start);
    }

private:
    static UniqueKernelHandle Create(const ProgramStart& start) {
        std::string line = start.file;
        if (!start.parameters.empty()) {
            line += ' ';
            line += start.parameters;
        }
        // CreateProcessA may write into the command line.
        std::vector<char> commandLine(line.begin(), line.end());
        commandLine.push_back('\0');
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(start.show);
        PROCESS_INFORMATION created = {};
        if (!CreateProcessA(start.file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &created)) {
            return UniqueKernelHandle();
        }
        CloseHandle(created.hThread);
        return UniqueKernelHandle(created.hProcess);
    }

    // shell32 is no import of the program: the system may take it from the
    // program's folder. It is loaded from the system folder once, and kept.
    static UniqueKernelHandle ShellExecute(const ProgramStart& start) {
        static HMODULE shell32 = LoadSystemLibrary("shell32.dll");
        auto shellExecuteEx =
            shell32 ? reinterpret_cast<ShellExecuteExAFn>(
                          reinterpret_cast<void (*)()>(GetProcAddress(shell32, "ShellExecuteExA")))
                    : nullptr;
        if (!shellExecuteEx) {
            return UniqueKernelHandle();
        }
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof info;
        // The launcher ends right after: the start must be done on return.
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
        info.lpVerb = start.verb.c_str();
        info.lpFile = start.file.c_str();
        info.lpParameters = start.parameters.empty() ? nullptr : start.parameters.c_str();
        info.nShow = start.show;
        // Declined at the prompt: FALSE with ERROR_CANCELLED, and no process.
        if (!shellExecuteEx(&info)) {
            return UniqueKernelHandle();
        }
        return UniqueKernelHandle(info.hProcess);
    }
};

}  // namespace

Elevation CurrentElevation() {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return Elevation::kUnknown;
    }
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    // Before Vista the information class does not exist and the call fails.
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) ||
        size != sizeof elevation) {
        return Elevation::kUnknown;
    }
    return elevation.TokenIsElevated ? Elevation::kElevated : Elevation::kNotElevated;
}

ProgramStart PlanProgramStart(Elevation elevation, const std::string& file) {
    if (elevation == Elevation::kNotElevated) {
        return {StartCall::kShellExecuteEx, kElevateVerb, file, "", SW_SHOW};
    }
    return {StartCall::kCreateProcess, "", file, "", SW_SHOW};
}

ProgramStarter& SystemProgramStarter() {
    static SystemStarter starter;
    return starter;
}

}  // namespace platform
