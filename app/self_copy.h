// The launcher's self-copy: lksupdate.exe copies itself into c:\temp and
// starts the copy, so that an update may replace the installed program. The
// copy is written through a handle that looks at what lies there first, then
// checked through one that shares reading only (no writer, no delete or
// rename while held); that handle and one on the folder (which keeps it from
// being renamed or replaced by a link) are held until the new process has
// started. Windows only.
#pragma once

#ifdef _WIN32

#include "platform/program_start.h"
#include "platform/win32_handles.h"

enum class SelfCopyResult {
    kStarted,
    kCopyFailed,   // the copy's file cannot be written: a running copy holds it, or it is
                   // not ours to write
    kCheckFailed,  // the folder or the file there is a link, the file has another name
                   // too, or the copy is not the launcher's bytes
    kNotStarted,   // the start failed or the user declined the consent prompt
};

// Writes the bytes of `selfPath` over `copyPath` in `folder`, checks them and
// starts the copy with `starter` as `elevation` says. Nothing is written
// through a link or into a file that another name reaches, and nothing is
// started unless the copy was written and checked.
SelfCopyResult StartSelfCopy(const char* selfPath, const char* folder, const char* copyPath,
                             platform::Elevation elevation, platform::ProgramStarter& starter);

// The folder opened so that it cannot be renamed or deleted while held;
// invalid when it is no directory or a link (a reparse point: a symbolic
// link or a junction) or cannot be opened.
platform::UniqueFileHandle HoldFolder(const char* folder);

// True when `file`, opened from `path` without following a link, is a plain
// file (no directory, no reparse point) that no other name reaches.
bool IsPlainFileWithOneName(HANDLE file, const char* path);

// True when `file` holds, from its start, exactly the bytes of `selfPath`.
bool HoldsTheBytesOf(HANDLE file, const char* selfPath);

#endif
