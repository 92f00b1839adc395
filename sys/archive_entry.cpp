#include "sys/archive_entry.h"

#include "platform/fs.h"

#include <unzip.h>

#include <memory>
#include <string>

namespace {

constexpr unsigned kReadChunk = 256 * 1024;

struct UnzCloser {
    void operator()(void* file) const { unzClose(static_cast<unzFile>(file)); }
};
using UniqueUnzFile = std::unique_ptr<void, UnzCloser>;

}  // namespace

bool ReadArchiveEntry(const char* zipPath, std::string_view entryName, const EntryDataSink& sink,
                      uint64_t* size) {
    if (size) {
        *size = 0;
    }
    if (!zipPath || entryName.empty()) {
        return false;
    }
    UniqueUnzFile zip(unzOpen(platform::NativePath(zipPath).c_str()));
    if (!zip) {
        return false;
    }
    unzFile file = static_cast<unzFile>(zip.get());
    std::string name(entryName);
    unz_file_info info;
    if (unzLocateFile(file, name.c_str(), 1) != UNZ_OK ||
        unzGetCurrentFileInfo(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        (info.external_fa & platform::kAttrDirectory) != 0 || unzOpenCurrentFile(file) != UNZ_OK) {
        return false;
    }
    std::unique_ptr<char[]> buffer(new char[kReadChunk]);
    uint64_t total = 0;
    bool whole = true;
    for (;;) {
        int got = unzReadCurrentFile(file, buffer.get(), kReadChunk);
        if (got == 0) {
            break;
        }
        if (got < 0 || !sink(buffer.get(), static_cast<size_t>(got))) {
            whole = false;
            break;
        }
        total += static_cast<uint64_t>(got);
    }
    // minizip checks the CRC only of a stream read to its end; the size is ours to check.
    whole = whole && total == info.uncompressed_size;
    if (unzCloseCurrentFile(file) != UNZ_OK) {
        whole = false;
    }
    if (whole && size) {
        *size = total;
    }
    return whole;
}
