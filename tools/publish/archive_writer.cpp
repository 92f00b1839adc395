#include "tools/publish/archive_writer.h"

#include "engine/md5.h"
#include "engine/sha256.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "tools/publish/name_rules.h"

#include "zip.h"

#include <vector>

namespace publish {

namespace {

constexpr int kDeflateLevel = 9;
constexpr size_t kChunk = 1 << 16;

// Closes the archive whatever happens; Close() tells whether it ended well.
class ZipFile {
public:
    explicit ZipFile(const std::string& path)
        : m_zip(zipOpen(platform::NativePath(path.c_str()).c_str(), APPEND_STATUS_CREATE)) {}
    ~ZipFile() {
        if (m_zip) {
            zipClose(m_zip, nullptr);
        }
    }
    ZipFile(const ZipFile&) = delete;
    ZipFile& operator=(const ZipFile&) = delete;

    zipFile get() const { return m_zip; }
    bool Close() {
        zipFile zip = m_zip;
        m_zip = nullptr;
        return zip && zipClose(zip, nullptr) == ZIP_OK;
    }

private:
    zipFile m_zip;
};

std::string Failure(const char* what, const std::string& path) {
    return std::string(what) + " " + Printable(path);
}

}  // namespace

bool WriteFileArchive(const std::string& zipPath, const std::string& sourcePath,
                      const ArchiveEntry& entry, StoredFile* stored, std::string* error) {
    platform::File source;
    if (!source.Open(sourcePath.c_str(), platform::File::Mode::ReadDenyWrite)) {
        *error = Failure("cannot open", sourcePath) + " (error " +
                 std::to_string(platform::LastFileError()) + ")";
        return false;
    }
    ZipFile zip(zipPath);
    if (!zip.get()) {
        *error = Failure("cannot create", zipPath);
        return false;
    }
    // minizip writes "made by" 0 (DOS): the high word of the external
    // attributes is no Unix mode, and the low byte is what clients apply.
    zip_fileinfo info{};
    info.dosDate = entry.dosTime;
    info.internal_fa = 0;
    info.external_fa = entry.attributes;
    if (zipOpenNewFileInZip(zip.get(), entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, kDeflateLevel) != ZIP_OK) {
        *error = Failure("cannot add an entry to", zipPath);
        return false;
    }
    CMD5 md5;
    CSha256 sha256;
    uint64_t total = 0;
    std::vector<char> buffer(kChunk);
    for (;;) {
        long n = source.Read(buffer.data(), buffer.size());
        if (n < 0) {
            *error = Failure("cannot read", sourcePath);
            return false;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<uint64_t>(n);
        if (total > kMaxFileSize) {
            *error = "the release file " + Printable(sourcePath) + " is larger than the " +
                     std::to_string(kMaxFileSize) + " bytes the update list can state";
            return false;
        }
        md5.Update(buffer.data(), static_cast<size_t>(n));
        sha256.Update(buffer.data(), static_cast<size_t>(n));
        if (zipWriteInFileInZip(zip.get(), buffer.data(), static_cast<unsigned>(n)) != ZIP_OK) {
            *error = Failure("cannot write", zipPath);
            return false;
        }
    }
    if (zipCloseFileInZip(zip.get()) != ZIP_OK || !zip.Close()) {
        *error = Failure("cannot finish", zipPath);
        return false;
    }
    stored->size = static_cast<uint32_t>(total);
    stored->md5 = platform::UpperLatin(DigestToHex(md5.Final()));
    stored->sha256 = platform::UpperLatin(Sha256ToHex(sha256.Final()));
    return true;
}

}  // namespace publish
