// The file-system steps of zip extraction. Paths are narrow strings in the
// engine's Windows form, at most 260 bytes with the NUL; a longer one is refused.
#pragma once

#include <cstdint>

// Makes sure the folder exists, creating the missing levels from the top
// down. Trailing white space and then trailing separators are ignored. False
// when a level cannot be made or the path names a file.
bool CreateFolder(const char* path);

// CreateFolder of everything before the last separator of a file path; false
// when the path has none.
bool CreateFilePath(const char* path);

// Gives the file the DOS date (high 16 bits) and time (low 16 bits), taken as
// local time, as its last-write (and, on Windows, creation) time; the
// last-access time stays.
bool SetFileModTime(const char* path, uint32_t dosDateTime);
