#include "engine/entry_path.h"

#include "platform/codepage.h"
#include "platform/path_component.h"

#include <algorithm>
#include <string_view>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsSafeComponent(std::string_view component) {
    if (platform::LeavesItsFolder(component)) {
        return false;
    }
#ifdef _WIN32
    if (platform::IsDeviceName(component) ||
        platform::TrimTrailingDotsAndBlanks(component).size() != component.size()) {
        return false;
    }
#endif
    return true;
}

}  // namespace

bool IsSafeEntryPath(const std::string& path) {
    if (path.size() < 2 || !IsSeparator(path[0])) {
        return false;
    }
    // Control bytes and ":" are below 0x40, never the second byte of a GBK
    // character, so a byte-wise look finds only real ones.
    for (char c : path) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == ':') {
            return false;
        }
    }
    // The components after the leading separator; an empty one (a doubled
    // separator, which also makes a UNC prefix) is refused with the rest.
    std::string_view text(path);
    size_t start = 1;
    for (size_t i = 1; i <= text.size();
         i += (i < text.size() ? platform::CharLength(text, i) : 1)) {
        if (i == text.size() || IsSeparator(text[i])) {
            if (!IsSafeComponent(text.substr(start, i - start))) {
                return false;
            }
            start = i + 1;
        }
    }
    return true;
}

std::string EntryFileName(const std::string& path) {
    size_t back = platform::FindLastChar(path, '\\');
    size_t forward = platform::FindLastChar(path, '/');
    size_t cut = back == std::string::npos      ? forward
                 : forward == std::string::npos ? back
                                                : std::max(back, forward);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}
