// What the publisher tests share: release files made at test time, archives
// read back with minizip's unzip side, whole trees as bytes.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace publishtest {

// GBK characters whose second byte is 0x5C, the code of "\": "乗" and "昞".
#define JOU  "\x81\x5C"
#define BING "\x95\x5C"

constexpr uint32_t DosTime(int year, int month, int day, int hour, int minute, int second) {
    return static_cast<uint32_t>(((year - 1980) << 25) | (month << 21) | (day << 16) |
                                 (hour << 11) | (minute << 5) | (second / 2));
}

struct ReleaseFileSpec {
    std::string path;  // list path, "\a\b.dll"
    std::string content;
    uint32_t dosTime;
    bool readOnly;
};

// Writes `file` below `releaseDir` with its time and read-only state.
void MakeReleaseFile(const std::string& releaseDir, const ReleaseFileSpec& file);

struct ZipEntry {
    std::string name;
    unsigned long versionMadeBy = 0;
    unsigned long method = 0;
    unsigned long dosTime = 0;
    unsigned long externalAttributes = 0;
    std::string content;
};

// Every entry of the archive at `path`; false when minizip cannot read it whole.
bool ReadZip(const std::string& path, std::vector<ZipEntry>* entries);

// Every file below `folder` by its relative "\"-separated path, with its bytes.
std::map<std::string, std::string> TreeBytes(const std::string& folder);

// The names in `folder`.
std::set<std::string> FolderNames(const std::string& folder);

// The lines of a CR LF text; false when a line ends otherwise.
bool SplitCrLfLines(const std::string& text, std::vector<std::string>* lines);

// False where this system cannot store a GBK file name (Wine without a
// zh_CN.UTF-8 locale).
bool StoresGbkNames();

}  // namespace publishtest
