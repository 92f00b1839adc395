// Zip archives of one file each, written with minizip's zip side: the form in
// which the server hands every file of a release to the clients.
#pragma once

#include <cstdint>
#include <string>

namespace publish {

// The list's size field is a signed 32-bit number; larger files are refused.
constexpr uint32_t kMaxFileSize = 0x7FFFFFFF;

// DOS attributes that an entry carries: clients pass the value whole to the
// file system, so it is 0x01 for a read-only file and "archive" otherwise.
constexpr uint32_t kEntryReadOnly = 0x01;
constexpr uint32_t kEntryArchive = 0x20;

struct ArchiveEntry {
    std::string name;         // the entry's name: the file's base name
    uint32_t dosTime = 0;     // DOS date << 16 | DOS time, local time
    uint32_t attributes = 0;  // DOS attributes
};

// What went into an archive, taken from the very bytes that were stored.
struct StoredFile {
    uint32_t size = 0;
    std::string md5;     // 32 upper-case hex digits
    std::string sha256;  // 64 upper-case hex digits
};

// Writes the archive `zipPath` holding the file `sourcePath` as its only entry,
// at its top level, deflated at a fixed level so that the same input always
// gives the same bytes. False with a message in `error`; a partial archive may
// remain for the caller to remove.
bool WriteFileArchive(const std::string& zipPath, const std::string& sourcePath,
                      const ArchiveEntry& entry, StoredFile* stored, std::string* error);

}  // namespace publish
