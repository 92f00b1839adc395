// Files and folders. Paths are narrow strings in the engine's Windows form
// ("\" separators); the POSIX backend turns each "\" that stands as a
// character of its own into "/" and leaves every other byte as it is.
#pragma once

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

// The path as the operating system takes it.
std::string NativePath(const char* path);

struct FileAttributes {
    bool exists = false;
    bool directory = false;
    bool readOnly = false;
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
// removes every write permission, its absence gives the owner's back.
bool SetDosAttributes(const char* path, uint32_t attributes);
// GetFullPathNameA into `out` (of `outSize` bytes); false when it does not fit.
bool GetFullPath(const char* path, char* out, size_t outSize);
// stdio on the native path.
FILE* OpenStdio(const char* path, const char* mode);

struct DirEntry {
    std::string name;
    bool directory = false;
};
// The entries of a folder, without "." and "..".
bool ListDir(const char* path, std::vector<DirEntry>* entries);

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
    enum class Mode {
        CreateAlways,   // write access, no sharing, created or truncated
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
void CreateParentFolders(const std::string& path);

}  // namespace platform
