// DLLs loaded from the system folder only. A DLL looked up by its bare name
// would be searched for in the program's folder first: c:\temp for the
// relaunched copy, where anyone may leave a psapi.dll. Windows only.
#pragma once

#ifdef _WIN32

#include <windows.h>

namespace platform {

// Makes the system folder the only place where later LoadLibrary calls of
// the process (also those inside system DLLs, such as delay loads) search.
// Windows 7 without update KB2533623 has no SetDefaultDllDirectories; there
// it does nothing, and LoadSystemLibrary still names the full path. False
// when the call is missing or fails.
bool RestrictDllSearchToSystemFolder();

// Loads from the system folder, and keeps, the DLLs that system DLLs load by
// bare name later (uxtheme.dll, which the common controls and the window
// manager load to draw visual styles): a later lookup by that name then finds
// the loaded one. Where SetDefaultDllDirectories is missing, and for loads
// that bypass it (Wine's own delay loads), this is what keeps such a DLL from
// being taken from the program's folder.
void PreloadSystemLibraries();

// LoadLibraryExA(name, LOAD_LIBRARY_SEARCH_SYSTEM32) where the system knows
// that flag, else the full path in GetSystemDirectoryA. `name` is a bare file
// name ("psapi.dll"). Null when the DLL is not there.
HMODULE LoadSystemLibrary(const char* name);

}  // namespace platform

#endif
