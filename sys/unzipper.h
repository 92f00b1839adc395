// Unpacking the zip archives that the update server delivers: every entry of
// an archive is written below a folder, with its stored time and attributes.
// Reads through minizip's unzip interface only; writing archives is not here.
//
// Paths are narrow strings in the system code page, at most 260 bytes with
// the NUL (platform::kMaxPath); a longer archive path, target folder or
// folder + entry name is refused. An entry whose name would leave the target
// folder (absolute, a drive, "..") is refused; so is one whose data does not
// inflate to its stored size and CRC, and its half-written file is removed.
#pragma once

#include "platform/fs.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The current entry of an archive, as GetFileInfo fills it.
struct UnzipFileInfo {
    char szFileName[platform::kMaxPath + 1];  // "/" turned into "\"
    char szComment[256];
    uint32_t dwVersion;  // version made by
    uint32_t dwVersionNeeded;
    uint32_t dwFlags;  // general-purpose bit flag
    uint32_t dwCompressionMethod;
    uint32_t dwDosDate;  // DOS date << 16 | DOS time, local time
    uint32_t dwCRC;
    uint32_t dwCompressedSize;
    uint32_t dwUncompressedSize;
    uint32_t dwInternalAttrib;
    uint32_t dwExternalAttrib;  // low byte: DOS attributes
    bool bFolder;               // DOS directory attribute (0x10) set
};

// The entries an extraction could not write whole: refused names, data that
// did not inflate to its stored size and CRC, files that could not be written
// (names as GetFileInfo gives them, "\" separators).
struct UnzipReport {
    std::vector<std::string> failedEntries;
};

// Sees each extracted file's bytes as they are written, so that a checksum
// needs no second read: the entry, then its data piece by piece.
using UnzipDataSink =
    std::function<void(const UnzipFileInfo& entry, const void* data, size_t size)>;

// What an extraction may do besides writing: note failures, bound the
// declared size, show the data to a sink.
struct UnzipOptions {
    UnzipReport* report = nullptr;
    uint64_t sizeLimit = UINT64_MAX;
    UnzipDataSink sink;
};

// One open archive; not copied, lives for one extraction on the caller's stack.
class CUnzipper {
public:
    // Opens `szFileName` unless it is null.
    explicit CUnzipper(const char* szFileName = nullptr);
    virtual ~CUnzipper();
    CUnzipper(const CUnzipper&) = delete;
    CUnzipper& operator=(const CUnzipper&) = delete;

    // Closes what is open, then opens the archive at the full path of
    // `szFileName`; its default folder is that path without extension.
    bool Open(const char* szFileName);
    // True when minizip closed the archive; false with nothing open.
    bool Close();

    // Number of entries; 0 when nothing is open.
    uint32_t GetFileCount();
    // First / next entry; with a non-empty `szExt`, the first / next whose
    // extension equals it, ignoring the case of Latin letters.
    bool GotoFirstFile(const char* szExt = nullptr);
    bool GotoNextFile(const char* szExt = nullptr);
    bool GetFileInfo(UnzipFileInfo& info);

    // Writes the current entry below `szFolder` (the default folder when null);
    // with `bIgnoreFilePath` a file lands directly in the folder.
    bool UnzipFile(const char* szFolder = nullptr, bool bIgnoreFilePath = false);
    // Where UnzipFile notes the entries it fails on from now on (null: nowhere).
    void SetReport(UnzipReport* report) { m_report = report; }
    // The most that UnzipTo may write: an archive whose entries declare more
    // together is refused before anything is written.
    void SetSizeLimit(uint64_t bytes) { m_sizeLimit = bytes; }
    // Where the data written goes besides the file (empty: nowhere).
    void SetDataSink(UnzipDataSink sink) { m_sink = std::move(sink); }
    // Writes every entry; a failing entry is skipped. True when the archive
    // was opened and walked: it has entries, they fit the size limit, and the
    // folder could be made.
    bool UnzipTo(const char* szFolder, bool bIgnoreFilePath = false);

private:
    bool CurrentHasExtension(const char* szExt);
    bool UnzipCurrent(const char* szFolder, bool bIgnoreFilePath);
    bool DeclaredSizeFits();
    bool WriteCurrentEntry(const char* szPath, const UnzipFileInfo& info);

    void* m_uzFile = nullptr;  // minizip's unzFile
    UnzipReport* m_report = nullptr;
    uint64_t m_sizeLimit = UINT64_MAX;
    UnzipDataSink m_sink;
    char m_szOutputFolder[platform::kMaxPath] = {};
};

// Unpacks the archive at `szZipPath` into `szFolder`: false when the archive
// cannot be opened or walked (see CUnzipper::UnzipTo), or when its entries
// declare more than the options' size limit together.
bool UnzipArchive(const char* szZipPath, const char* szFolder, bool bIgnoreFilePath,
                  const UnzipOptions& options = UnzipOptions());
