// Putting files into the installation so that an interrupted run never leaves
// a truncated one: each file is written beside its target and renamed over it.
#pragma once

#include <string>

// Copies `source` to `target` through "<target>.lksnew", replacing the target
// in one rename; a read-only target is replaced all the same. The folders
// above the target are created first. False, with the target untouched, when
// any step fails.
bool InstallFile(const std::string& source, const std::string& target);

// Deletes a folder with everything in it, read-only files included. True when
// the folder itself could be removed.
bool DeleteDirectory(const std::string& path);

// Removes a file even when it is read-only; true when it is gone.
bool RemoveFileForced(const std::string& path);
