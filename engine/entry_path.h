// Whether an update list path may name a file: it must stay below the
// installation and the temporary folder whatever the server sends, and it
// goes into a request line as it stands.
#pragma once

#include <string>

// True for a path that begins with "\" or "/" (either separates its folders)
// and has no drive letter or colon, no UNC prefix, no control byte (below
// 0x20, or 0x7F) and no component that is empty, "." or ".." once trailing
// dots and blanks are trimmed. On Windows a component that names a device
// (CON, NUL, COM1 ...) or ends in a dot or blank is unsafe too: the file
// system would open something else than the name says.
bool IsSafeEntryPath(const std::string& path);

// What follows the last separator ("\" or "/") of a path: the name of the
// entry's file in its archive.
std::string EntryFileName(const std::string& path);
