// Whether an update list path may name a file: it must stay below the
// installation and the temporary folder whatever the server sends.
#pragma once

#include <string>

// True for a path that begins with "\" and has no drive letter or colon, no
// UNC prefix and no ".." component under either separator.
bool IsSafeEntryPath(const std::string& path);
