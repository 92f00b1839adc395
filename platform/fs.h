// Files and folders. Paths are narrow strings in the engine's Windows form
// ("\" separators); the POSIX backend turns each "\" that stands as a
// character of its own into "/" and leaves every other byte as it is.
#pragma once

#include "platform/checked_folders.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// Windows MAX_PATH: the size of every path buffer, terminating NUL included.
constexpr size_t kMaxPath = 260;

// DOS attribute bits as zip archives and Win32 carry them.
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrNormal = 0x80;  // none of the others

// The path as the operating system takes it.
std::string NativePath(const char* path);

// What lies at a path; a final link is described, never followed.
struct FileAttributes {
    bool exists = false;
    bool directory = false;  // a real folder, not a link to one
    bool readOnly = false;
    bool link = false;  // a symbolic link, junction or other reparse point
};
FileAttributes GetAttributes(const char* path);

// One folder level, as CreateDirectoryA: false when it exists already or cannot be made.
bool CreateDir(const char* path);
bool RemoveDir(const char* path);
bool RemoveFile(const char* path);
// Copies over an existing target, as CopyFileA with fail-if-exists FALSE.
bool CopyFileOver(const char* from, const char* to);
// Renames `from` onto `to`, replacing it in one step (MoveFileExA with
// MOVEFILE_REPLACE_EXISTING; rename(2) on POSIX).
bool MoveReplace(const char* from, const char* to);
// Win32: SetFileAttributesA with the whole value. POSIX: the read-only bit
// removes every write permission, its absence gives the owner's back. A link
// is never changed, nor what it points to.
bool SetDosAttributes(const char* path, uint32_t attributes);
// GetFullPathNameA into `out` (of `outSize` bytes); false when it does not fit.
bool GetFullPath(const char* path, char* out, size_t outSize);
// stdio on the native path.
FILE* OpenStdio(const char* path, const char* mode);

struct DirEntry {
    std::string name;
    bool directory = false;  // a real folder, not a link to one
    bool link = false;       // a symbolic link, junction or other reparse point
};
// The entries of a folder, without "." and "..".
bool ListDir(const char* path, std::vector<DirEntry>* entries);

// Deletes a folder with everything below it, read-only files included,
// without following any link: a link is removed as a link. The walk works
// from open folder handles and names as the file system gives them, so a
// folder swapped for a link meanwhile is never entered. True when the folder
// itself is gone (or was never there).
bool RemoveTree(const char* path);

// Makes `path` the running user's own folder: created with rights for that
// user, the administrators and the system only (POSIX: mode 0700). An
// existing one is used only when it is a real folder (no link or junction)
// owned by the user (or, on Windows, the Administrators group) that no one
// else may write, holding no link anywhere (HoldsOnlyPlainEntries);
// otherwise it is moved aside, removed without following anything in it,
// and made afresh. False when no such folder could be had.
bool MakePrivateFolder(const char* path);

// True when nothing below the folder is a link and every name is one the
// engine's paths can name (POSIX: no "\" in it), down to a bounded depth.
bool HoldsOnlyPlainEntries(const char* path);

// Last-write (and, where the system keeps one, creation) time from a DOS date
// and time in local time, the last-access time left alone.
bool SetFileTimeFromDos(const char* path, uint32_t dosDateTime);
// Last-write time as a DOS date and time in local time (0 on failure).
uint32_t GetFileDosTime(const char* path);

// The last error of the file system (GetLastError / errno).
unsigned long LastFileError();

// A file opened as CreateFileA opens it, with a share mode; move-only.
class File {
public:
    // No mode follows a final link: opening one fails.
    enum class Mode {
        // Write access, no sharing. What lies there is removed first (a link
        // as a link) and a new file made, so no link or second name of
        // another file is ever written through; a read-only file stays and
        // the open fails.
        CreateAlways,
        CreateNew,      // write access, no sharing; fails when anything lies there
        ReadDenyWrite,  // read access, others may read but not write
    };
    File() = default;
    ~File() { Close(); }
    File(File&& other) noexcept : m_handle(other.m_handle) { other.m_handle = kInvalid; }
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Open(const char* path, Mode mode);
    bool IsOpen() const { return m_handle != kInvalid; }
    // Bytes read (0 at the end), or -1 on a read error.
    long Read(void* buffer, size_t size);
    // True when all `size` bytes were written.
    bool Write(const void* buffer, size_t size);
    // Through the open file, so that nothing else can be changed instead.
    // DOS attributes as SetDosAttributes takes them (POSIX: the read-only bit).
    bool GetDosAttributes(uint32_t* attributes) const;
    bool SetDosAttributes(uint32_t attributes);
    bool SetTimeFromDos(uint32_t dosDateTime);  // as SetFileTimeFromDos
    // The last-write time in the system's own unit, to give to another file.
    bool GetWriteTime(int64_t* time) const;
    bool SetWriteTime(int64_t time);
    // The same in one call each, where the system has one: copying a file's
    // attributes and time costs a call per file, not one per value.
    bool GetDosAttributesAndWriteTime(uint32_t* attributes, int64_t* time) const;
    bool SetWriteTimeAndDosAttributes(int64_t time, uint32_t attributes);
    // As SetTimeFromDos and then SetDosAttributes (a read-only file still
    // takes the time).
    bool SetDosTimeAndAttributes(uint32_t dosDateTime, uint32_t attributes);
    bool Close();

private:
    static constexpr intptr_t kInvalid = -1;
    intptr_t m_handle = kInvalid;
};

}  // namespace platform

namespace platform {

// Creates the folders above a file, outermost first: the path is cut before
// its last "\" while it is longer than 3 characters ("c:\" and shorter stay
// whole), each cut text being a folder. Failures (a folder that exists, a
// drive) are ignored; whether the file can then be made tells the caller.
// The folders are looked at from the file's own upwards, and only those
// below the first one that exists are made. With `present`, a folder it
// holds is taken as there without a look, and each real folder found or
// made is added to it.
void CreateParentFolders(const std::string& path, CheckedFolders* present = nullptr);

// True when nothing on the way from `root` down to `path` (below `root`,
// "\" separators) is a link or a file: every level that exists is a real
// folder, and `path` itself, if it exists, is no link. The working folder's
// own content is checked so before anything is written or read through it.
// With `checked`, a level it holds is not looked at again, and each level
// found a real folder is added: only for a root no one else may change.
bool IsLinkFreeBelow(const std::string& root, const std::string& path,
                     CheckedFolders* checked = nullptr);

// Makes the way from `root` down to the folder of the file `path` real
// folders: a link or file standing for a level is removed (a link as a
// link, never followed) and a folder made in its place; a link at `path`
// itself is removed. False when that cannot be done. `checked` as for
// IsLinkFreeBelow; `path` itself is always looked at.
bool MakeLinkFreeBelow(const std::string& root, const std::string& path,
                       CheckedFolders* checked = nullptr);

}  // namespace platform
