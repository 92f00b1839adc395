#include "engine/entry_path.h"

#include "platform/codepage.h"

bool IsSafeEntryPath(const std::string& path) {
    if (path.size() < 2 || path[0] != '\\' || path[1] == '\\' || path[1] == '/') {
        return false;
    }
    if (platform::FindChar(path, ':') != std::string::npos) {
        return false;
    }
    // Components under "\" and "/" alike ("/" becomes "\" on the way to the disk).
    std::string unified = platform::ReplaceChar(path, '/', '\\');
    size_t start = 1;
    while (start <= unified.size()) {
        size_t end = platform::FindChar(unified, '\\', start);
        if (end == std::string::npos) {
            end = unified.size();
        }
        if (unified.compare(start, end - start, "..") == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}
