// The MD5 checksum of a file's whole content, as the update list compares it.
#pragma once

#include "engine/file_exception.h"

#include <string>

// 32 lower-case hex digits. The file is opened for reading, letting others read
// but not write it meanwhile. Throws CFileException when it cannot be opened or
// read; never returns a partial checksum.
std::string GetFileMD5(const std::string& path);
