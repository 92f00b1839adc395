// One entry of an update list as the engine keeps it: a plain value record.
#pragma once

#include <cstdint>
#include <string>

struct UpdateItem {
    std::string path;      // "FN": relative to the installation, begins with "\"
    std::string fileName;  // the part of `path` after its last "\"
    std::string folder;    // the part of `path` before its last "\"
    std::string checksum;  // "MD": MD5 of the file as hex text, as the list gives it
    int32_t size = 0;      // "SZ": bytes, shown in the file list
    int32_t zz = 0;        // "ZZ": carried along, nothing acts on it
    std::string sha256;    // "SH": SHA-256 of the file as 64 hex digits, as the list gives them
};
