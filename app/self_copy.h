// The launcher's self-copy: lksupdate.exe copies itself into c:\temp and
// starts the copy, so that an update may replace the installed program. The
// copy that starts must be the launcher's own bytes: the file is checked
// after copying, through a handle that shares reading only, and that handle
// (and one on the folder, which keeps it from being renamed or replaced by a
// link) is held until the new process has started. Windows only.
#pragma once

#ifdef _WIN32

#include "platform/program_start.h"
#include "platform/win32_handles.h"

enum class SelfCopyResult {
    kStarted,
    kCopyFailed,   // the old copy could not be removed (a running copy holds it, or it is
                   // not ours to remove), or the new one not made
    kCheckFailed,  // the folder is a link, or the copy is not the launcher's bytes
    kNotStarted,   // the start failed or the user declined the consent prompt
};

// Removes what lies at `copyPath` in `folder`, copies `selfPath` there as a
// new file, checks the copy and starts it with `starter` as `elevation` says.
// Nothing is started unless the copy was made and checked.
SelfCopyResult StartSelfCopy(const char* selfPath, const char* folder, const char* copyPath,
                             platform::Elevation elevation, platform::ProgramStarter& starter);

// The folder opened so that it cannot be renamed or deleted while held;
// invalid when it is no directory or a link (a reparse point: a symbolic
// link or a junction) or cannot be opened.
platform::UniqueFileHandle HoldFolder(const char* folder);

// `copyPath` opened sharing reading only (no writer, no delete or rename
// while held); invalid unless it is a plain file with a single name whose
// bytes are those of `selfPath`.
platform::UniqueFileHandle HoldIdenticalCopy(const char* selfPath, const char* copyPath);

#endif
