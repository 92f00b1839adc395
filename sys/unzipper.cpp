#include "sys/unzipper.h"

#include "platform/codepage.h"
#include "sys/file_helpers.h"
#include "sys/output_file.h"
#include "sys/zip_path.h"

#include <unzip.h>

#include <memory>
#include <string>
#include <string_view>

namespace {

// The piece of entry data inflate delivers at a time: large, so that zlib
// works in long runs and the file gets few large writes.
constexpr unsigned kCopyChunk = 256 * 1024;

constexpr unsigned kCommentSize = sizeof(UnzipFileInfo::szComment) - 1;

// The DOS attributes an extracted file takes from its entry: read-only,
// hidden, system and archive (not the folder or device bits).
constexpr uint32_t kFileAttributes = 0x27;

unzFile Handle(void* file) { return static_cast<unzFile>(file); }

}  // namespace

CUnzipper::CUnzipper(const char* szFileName) {
    if (szFileName) {
        Open(szFileName);
    }
}

CUnzipper::~CUnzipper() { Close(); }

bool CUnzipper::Open(const char* szFileName) {
    Close();
    if (!szFileName || !*szFileName) {
        return false;
    }
    char full[platform::kMaxPath];
    if (!platform::GetFullPath(szFileName, full, sizeof full)) {
        return false;
    }
    m_uzFile = unzOpen(platform::NativePath(full).c_str());
    if (!m_uzFile) {
        return false;
    }
    zippath::CopyPath(m_szOutputFolder, sizeof m_szOutputFolder, zippath::WithoutExtension(full));
    return true;
}

bool CUnzipper::Close() {
    if (!m_uzFile) {
        return false;
    }
    unzCloseCurrentFile(Handle(m_uzFile));
    bool closed = unzClose(Handle(m_uzFile)) == UNZ_OK;
    m_uzFile = nullptr;
    m_szOutputFolder[0] = '\0';
    return closed;
}

uint32_t CUnzipper::GetFileCount() {
    unz_global_info info;
    if (!m_uzFile || unzGetGlobalInfo(Handle(m_uzFile), &info) != UNZ_OK) {
        return 0;
    }
    return static_cast<uint32_t>(info.number_entry);
}

bool CUnzipper::GotoFirstFile(const char* szExt) {
    if (!m_uzFile || unzGoToFirstFile(Handle(m_uzFile)) != UNZ_OK) {
        return false;
    }
    return CurrentHasExtension(szExt) || GotoNextFile(szExt);
}

bool CUnzipper::GotoNextFile(const char* szExt) {
    if (!m_uzFile) {
        return false;
    }
    do {
        if (unzGoToNextFile(Handle(m_uzFile)) != UNZ_OK) {
            return false;
        }
    } while (!CurrentHasExtension(szExt));
    return true;
}

bool CUnzipper::CurrentHasExtension(const char* szExt) {
    if (!szExt || !*szExt) {
        return true;
    }
    UnzipFileInfo info;
    if (!GetFileInfo(info)) {
        return false;
    }
    std::string_view ext = zippath::Extension(info.szFileName);
    return !ext.empty() && platform::UpperLatin(ext) == platform::UpperLatin(szExt);
}

bool CUnzipper::GetFileInfo(UnzipFileInfo& info) {
    info = UnzipFileInfo{};
    if (!m_uzFile) {
        return false;
    }
    unz_file_info entry;
    if (unzGetCurrentFileInfo(Handle(m_uzFile), &entry, info.szFileName, platform::kMaxPath,
                              nullptr, 0, info.szComment, kCommentSize) != UNZ_OK) {
        return false;
    }
    // A longer name was cut to fit: writing under the cut name would be wrong,
    // and no such name fits below a folder anyway.
    if (entry.size_filename > platform::kMaxPath) {
        return false;
    }
    info.dwVersion = static_cast<uint32_t>(entry.version);
    info.dwVersionNeeded = static_cast<uint32_t>(entry.version_needed);
    info.dwFlags = static_cast<uint32_t>(entry.flag);
    info.dwCompressionMethod = static_cast<uint32_t>(entry.compression_method);
    info.dwDosDate = static_cast<uint32_t>(entry.dosDate);
    info.dwCRC = static_cast<uint32_t>(entry.crc);
    info.dwCompressedSize = static_cast<uint32_t>(entry.compressed_size);
    info.dwUncompressedSize = static_cast<uint32_t>(entry.uncompressed_size);
    info.dwInternalAttrib = static_cast<uint32_t>(entry.internal_fa);
    info.dwExternalAttrib = static_cast<uint32_t>(entry.external_fa);
    std::string_view name(info.szFileName);
    for (size_t i = 0; i < name.size(); i += platform::CharLength(name, i)) {
        if (info.szFileName[i] == '/') {
            info.szFileName[i] = '\\';
        }
    }
    info.bFolder = (info.dwExternalAttrib & platform::kAttrDirectory) != 0;
    return true;
}

bool CUnzipper::UnzipFile(const char* szFolder, bool bIgnoreFilePath) {
    if (UnzipCurrent(szFolder, bIgnoreFilePath)) {
        return true;
    }
    UnzipFileInfo info;
    if (m_report && GetFileInfo(info)) {
        m_report->failedEntries.push_back(info.szFileName);
    }
    return false;
}

bool CUnzipper::UnzipCurrent(const char* szFolder, bool bIgnoreFilePath) {
    if (!m_uzFile) {
        return false;
    }
    // The folder as CreateFolder takes it, so that "x\ " and "x\\" put the
    // files into x as well.
    char folder[platform::kMaxPath];
    std::string_view given = zippath::TrimFolder(szFolder ? szFolder : m_szOutputFolder);
    if (!zippath::CopyPath(folder, sizeof folder, given) || !CreateFolder(folder)) {
        return false;
    }
    UnzipFileInfo info;
    if (!GetFileInfo(info)) {
        return false;
    }
    std::string_view name(info.szFileName);
    if (!info.bFolder && bIgnoreFilePath) {
        name = zippath::FileNamePart(name);
    }
    char path[platform::kMaxPath];
    if (!zippath::IsContainedEntryName(name) ||
        !zippath::JoinPath(path, sizeof path, folder, name)) {
        return false;
    }
    if (info.bFolder) {
        return CreateFolder(path);
    }
    return CreateFilePath(path) && WriteCurrentEntry(path, info);
}

bool CUnzipper::WriteCurrentEntry(const char* szPath, const UnzipFileInfo& info) {
    COutputFile output;
    if (!output.Create(szPath, info.dwUncompressedSize)) {
        return false;  // an existing file that cannot be replaced stays as it is
    }
    bool complete = unzOpenCurrentFile(Handle(m_uzFile)) == UNZ_OK;
    if (complete) {
        std::unique_ptr<char[]> chunk(new char[kCopyChunk]);
        char* buffer = chunk.get();
        uint32_t written = 0;  // modulo 2^32, as the stored size
        for (;;) {
            int read = unzReadCurrentFile(Handle(m_uzFile), buffer, kCopyChunk);
            if (read == 0) {
                break;
            }
            // Past its declared size an entry is a bomb or damaged: stop at once.
            if (read < 0 ||
                static_cast<uint64_t>(written) + static_cast<uint64_t>(read) >
                    info.dwUncompressedSize ||
                !output.Write(buffer, static_cast<size_t>(read))) {
                complete = false;
                break;
            }
            if (m_sink) {
                m_sink(info, buffer, static_cast<size_t>(read));
            }
            written += static_cast<uint32_t>(read);
        }
        // A stream that ends early is not checked against its CRC by minizip.
        complete = complete && written == info.dwUncompressedSize;
    }
    if (unzCloseCurrentFile(Handle(m_uzFile)) == UNZ_CRCERROR) {
        complete = false;
    }
    // The stored time and attributes only for a whole file: a damaged one
    // must stay removable.
    complete = complete && output.Finish(info.dwDosDate, info.dwExternalAttrib & kFileAttributes);
    complete = output.Close() && complete;
    if (!complete) {
        // No damaged file is left looking like a complete one.
        platform::RemoveFile(szPath);
        return false;
    }
    return true;
}

bool CUnzipper::DeclaredSizeFits() {
    if (m_sizeLimit == UINT64_MAX) {
        return true;
    }
    uint64_t total = 0;
    UnzipFileInfo info;
    for (bool more = GotoFirstFile(nullptr); more; more = GotoNextFile(nullptr)) {
        if (GetFileInfo(info)) {
            total += info.dwUncompressedSize;
            if (total > m_sizeLimit) {
                return false;
            }
        }
    }
    return true;
}

bool CUnzipper::UnzipTo(const char* szFolder, bool bIgnoreFilePath) {
    if (!m_uzFile || !szFolder || GetFileCount() == 0 || !DeclaredSizeFits() ||
        !CreateFolder(szFolder) || !GotoFirstFile(nullptr)) {
        return false;
    }
    do {
        UnzipFile(szFolder, bIgnoreFilePath);  // a failing entry is skipped
    } while (GotoNextFile(nullptr));
    return true;
}

bool UnzipArchive(const char* szZipPath, const char* szFolder, bool bIgnoreFilePath,
                  const UnzipOptions& options) {
    if (!szZipPath || !*szZipPath) {
        return false;
    }
    CUnzipper unzipper;
    unzipper.SetReport(options.report);
    unzipper.SetSizeLimit(options.sizeLimit);
    unzipper.SetDataSink(options.sink);
    if (!unzipper.Open(szZipPath)) {
        return false;
    }
    bool walked = unzipper.UnzipTo(szFolder, bIgnoreFilePath);
    unzipper.Close();
    return walked;
}
