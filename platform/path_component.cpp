#include "platform/path_component.h"

#include "platform/codepage.h"

#include <string>

namespace platform {

std::string_view TrimTrailingDotsAndBlanks(std::string_view component) {
    // Dots and blanks are below 0x40, so never the second byte of a GBK character.
    while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
        component.remove_suffix(1);
    }
    return component;
}

bool LeavesItsFolder(std::string_view component) {
    // "." and ".." trim to nothing, and so does any run of dots and blanks
    // ("...", ".. ") that Windows reads as one of them.
    return TrimTrailingDotsAndBlanks(component).empty();
}

bool IsDeviceName(std::string_view component) {
    std::string_view stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    std::string upper = UpperLatin(stem);
    static constexpr const char* kDevices[] = {"CON",    "PRN",     "AUX",   "NUL",
                                               "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* device : kDevices) {
        if (upper == device) {
            return true;
        }
    }
    return upper.size() == 4 &&
           (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace platform
