// Starting another program the way the launcher starts its copy: as this
// process runs it when the process may already do what the program needs
// (an elevated token, or a system without elevation), else through the
// system's consent prompt with the "runas" verb. The decision and the call
// are apart, so that a test can see which call is made without a prompt.
// Windows only.
#pragma once

#ifdef _WIN32

#include "platform/win32_handles.h"

#include <string>

namespace platform {

enum class Elevation {
    kElevated,
    kNotElevated,
    kUnknown,  // the system has no elevation (before Vista)
};

// Asks GetTokenInformation(TokenElevation) about this process's token.
Elevation CurrentElevation();

enum class StartCall { kCreateProcess, kShellExecuteEx };

// One start, as the system call receives it.
struct ProgramStart {
    StartCall call;
    std::string verb;        // kShellExecuteEx only: "runas"
    std::string file;        // the program's full path
    std::string parameters;  // empty: none
    int show;                // SW_SHOW
};

// The start of `file` with no arguments, shown: CreateProcessA when elevated
// or unknown, ShellExecuteExA with "runas" when not elevated.
ProgramStart PlanProgramStart(Elevation elevation, const std::string& file);

class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Carries out the start; the new process, or null when nothing started
    // (also when the user declined the consent prompt).
    virtual UniqueKernelHandle Start(const ProgramStart& start) = 0;
};

// The system's CreateProcessA and ShellExecuteExA. CreateProcessA gets the
// file as application name and as command line (with the parameters after
// a blank, if any). ShellExecuteExA comes from shell32 in the system folder,
// loaded when first needed.
ProgramStarter& SystemProgramStarter();

}  // namespace platform

#endif
