#include "output.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace driver {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                            nullptr, nullptr);
    }
    return out;
}

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\t') {
            c = ' ';
        }
    }
    return text;
}

void Print(const char* key, const std::string& value) {
    std::string line = std::string(key) + " " + value + "\n";
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
}

void Print(const char* key, const std::wstring& value) { Print(key, OneLine(Utf8(value))); }

void PrintNumber(const char* key, long long value) { Print(key, std::to_string(value)); }

int Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fputs("lks-wizard-driver: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    return 1;
}

}  // namespace driver
