// One updater at a time per machine: two must never share the temporary
// folder. Windows: the named mutex "VTRX_AUTOUPDATE_MUTEX", held until the
// process ends. POSIX: an exclusive lock on a file, released with the process.
#pragma once

#include <string>

// True when this process now holds the guard (or held it already); false
// when another process holds it.
bool AcquireUpdaterGuard();

#ifndef _WIN32
// Where the POSIX lock file lies (tests point it elsewhere).
void SetUpdaterGuardPath(const std::string& path);
#endif
