#include "engine/file_checksum.h"

#include "engine/buffered_file.h"
#include "engine/md5.h"

#include <cstdint>

namespace {

constexpr size_t kBlockSize = 1024;

}  // namespace

std::string GetFileMD5(const std::string& path) {
    CBufferedFile file;
    if (!file.Open(path.c_str())) {
        throw CFileException(CFileException::Cause::OpenFailed, path, platform::LastFileError());
    }
    CMD5 md5;
    uint8_t block[kBlockSize];
    for (;;) {
        long got = file.Read(block, sizeof block);
        if (got < 0) {
            throw CFileException(CFileException::Cause::ReadFailed, path,
                                 platform::LastFileError());
        }
        if (got == 0) {
            break;
        }
        md5.Update(block, static_cast<size_t>(got));
    }
    return DigestToHex(md5.Final());
}
