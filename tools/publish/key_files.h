// Small files of the signing: key files, signatures. Paths as the platform
// layer takes them (on POSIX a "\" that is a character of its own is "/").
#pragma once

#include <cstddef>
#include <string>

namespace publish {

// The whole file `path` when it holds at most `maxSize` bytes. False with a
// message in `error` when it is missing, longer or unreadable; `*missing` (when
// given) tells a file that is not there.
bool ReadSmallFile(const std::string& path, size_t maxSize, std::string* text, std::string* error,
                   bool* missing = nullptr);

// Creates the new file `path` holding `text`; never replaces one. With
// `secret`, the file is made readable and writable by its owner only (POSIX
// mode 0600) from its creation on, so its bytes are never readable by others.
bool WriteNewFile(const std::string& path, const std::string& text, bool secret,
                  std::string* error);

}  // namespace publish
