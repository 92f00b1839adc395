// The settings file reader on arbitrary text: a value is always a trimmed
// piece of one line, and never holds a comment or a line break.
#include "app/settings_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"UPDATEHOST", "UPDATEMODEL", "UPDATEROOT", "WINVERSION", ""}) {
        std::string value = FindIniValue(text, key);
        if (value.size() > size || value.find('\n') != std::string::npos) {
            abort();
        }
        if (!value.empty() && (value.front() == ' ' || value.back() == ' ')) {
            abort();
        }
    }
    return 0;
}
