// What the extraction tests share: the archives that make_zip_fixtures.py
// made at build time, a look at an extracted tree, DOS times.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ziptest {

// A file made by make_zip_fixtures.py, as a path in the engine's form.
std::string Fixture(const std::string& name);

// Every file and folder below `folder`, relative, "\"-separated, a folder
// with a trailing "\", sorted bytewise: {"a\", "a\b.txt", "c.txt"}.
std::vector<std::string> ListTree(const std::string& folder);

constexpr uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    return static_cast<uint32_t>(((year - 1980) << 25) | (month << 21) | (day << 16) |
                                 (hour << 11) | (minute << 5) | (second / 2));
}

// True when this process may write to a read-only file, as root does.
bool IgnoresReadOnly();

// False where a non-ASCII name cannot be stored at all: Wine maps names to
// the Linux file system through the locale of LC_ALL, and without a
// generated zh_CN.UTF-8 locale every such name fails as "not found".
bool StoresNonAsciiNames();

// What a test that needs such names says when it cannot have them.
constexpr const char* kNoNonAsciiNames =
    "this Wine cannot store non-ASCII file names: generate the zh_CN.UTF-8 locale";

}  // namespace ziptest
