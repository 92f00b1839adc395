// Writing the update list "codelist.txt": one line per file,
// "<FN path><MD checksum><SZ size><ZZ0><SH sha-256>", lines ending with CR LF.
// "SH" stands last: clients that read only the first four fields skip it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace publish {

struct ListEntry {
    std::string path;  // "\program\a.dll", in the narrow code page
    std::string md5;   // 32 upper-case hex digits
    uint32_t size = 0;
    std::string sha256{};  // 64 upper-case hex digits; no "SH" field when empty
};

// One line, terminator included.
std::string FormatListLine(const ListEntry& entry);

// Writes the lines of `entries`, in their order, as the file `path`.
bool WriteCodeList(const std::string& path, const std::vector<ListEntry>& entries,
                   std::string* error);

}  // namespace publish
