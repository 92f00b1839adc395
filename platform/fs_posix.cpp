#include "platform/fs.h"

#include "platform/codepage.h"
#include "platform/posix_handles.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string NativePath(const char* path) { return ReplaceChar(path ? path : "", '\\', '/'); }

namespace {

bool IsReadOnlyMode(mode_t mode) { return (mode & 0222) == 0; }

mode_t WithReadOnly(mode_t mode, bool readOnly) {
    mode &= 07777;
    return readOnly ? (mode & ~mode_t{0222}) : (mode | S_IWUSR);
}

// DOS date and time, local time, as seconds since the epoch.
bool DosToTime(uint32_t dosDateTime, time_t* when) {
    struct tm t {};
    unsigned date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
    t.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    t.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    t.tm_mday = static_cast<int>(date & 0x1F);
    t.tm_hour = static_cast<int>((time >> 11) & 0x1F);
    t.tm_min = static_cast<int>((time >> 5) & 0x3F);
    t.tm_sec = static_cast<int>((time & 0x1F) * 2);
    t.tm_isdst = -1;
    *when = mktime(&t);
    return *when != static_cast<time_t>(-1);
}

// Last-write time set, last-access time left alone.
void WriteTimeOnly(struct timespec times[2], time_t when, long nanoseconds) {
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = when;
    times[1].tv_nsec = nanoseconds;
}

// The deepest folder RemoveTree walks into; a deeper one stays.
constexpr int kMaxTreeDepth = 256;

// Removes `name` in the open folder `parent`, a folder with its content.
bool RemoveEntryAt(int parent, const char* name, int depth) {
    struct stat st {};
    if (fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISDIR(st.st_mode)) {
        return unlinkat(parent, name, 0) == 0 || errno == ENOENT;
    }
    if (depth >= kMaxTreeDepth) {
        return false;
    }
    UniqueFd folder(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (!folder) {
        // Swapped for a link or a file since the look: removed as what it is now.
        return (errno == ELOOP || errno == ENOTDIR) && unlinkat(parent, name, 0) == 0;
    }
    if (fstat(folder.get(), &opened) != 0 || opened.st_dev != st.st_dev ||
        opened.st_ino != st.st_ino) {
        return false;  // not the folder that was looked at
    }
    // A folder without write permission keeps its entries even for its owner.
    fchmod(folder.get(), (opened.st_mode & 07777) | S_IRWXU);
    UniqueFd walker(dup(folder.get()));
    UniqueDir dir(walker ? fdopendir(walker.get()) : nullptr);
    if (!dir) {
        return false;
    }
    walker.release();  // owned by the folder stream now
    bool ok = true;
    while (struct dirent* e = readdir(dir.get())) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            ok = RemoveEntryAt(folder.get(), e->d_name, depth + 1) && ok;
        }
    }
    dir.reset();
    folder.reset();
    return unlinkat(parent, name, AT_REMOVEDIR) == 0 && ok;
}

// `native` split into its folder and its last name, trailing "/" dropped.
bool SplitLast(std::string native, std::string* folder, std::string* name) {
    while (native.size() > 1 && native.back() == '/') {
        native.pop_back();
    }
    size_t cut = native.rfind('/');
    if (native.empty() || native == "/") {
        return false;
    }
    *folder = cut == std::string::npos ? "." : (cut == 0 ? "/" : native.substr(0, cut));
    *name = cut == std::string::npos ? native : native.substr(cut + 1);
    return *name != "." && *name != "..";
}

// A folder that is the effective user's own: a real folder, theirs, that no
// one else may write.
bool IsPrivateFolder(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 022) == 0;
}

}  // namespace

FileAttributes GetAttributes(const char* path) {
    FileAttributes attrs;
    struct stat st {};
    std::string native = NativePath(path);
    if (native.empty() || lstat(native.c_str(), &st) != 0) {
        return attrs;
    }
    attrs.exists = true;
    attrs.link = S_ISLNK(st.st_mode);
    attrs.directory = S_ISDIR(st.st_mode);
    attrs.readOnly = !attrs.link && IsReadOnlyMode(st.st_mode);
    return attrs;
}

bool RemoveTree(const char* path) {
    std::string folder, name;
    if (!SplitLast(NativePath(path), &folder, &name)) {
        return false;
    }
    UniqueFd parent(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent) {
        return errno == ENOENT;
    }
    return RemoveEntryAt(parent.get(), name.c_str(), 0);
}

bool MakePrivateFolder(const char* path) {
    std::string native = NativePath(path);
    std::string folder, name;
    if (!SplitLast(native, &folder, &name)) {
        return false;
    }
    UniqueFd parent(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent) {
        return false;
    }
    // Another user may put something in the way again after each removal:
    // a bounded number of tries, then no folder.
    for (int attempt = 0; attempt < 4; ++attempt) {
        struct stat st {};
        if (fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) {
                return false;
            }
            if (mkdirat(parent.get(), name.c_str(), 0700) != 0 && errno != EEXIST) {
                return false;
            }
            continue;  // looked at again: it must be the one just made
        }
        if (IsPrivateFolder(st) && HoldsOnlyPlainEntries(path)) {
            UniqueFd own(openat(parent.get(), name.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            struct stat opened {};
            if (own && fstat(own.get(), &opened) == 0 && opened.st_ino == st.st_ino &&
                opened.st_dev == st.st_dev && IsPrivateFolder(opened)) {
                return fchmod(own.get(), 0700) == 0;
            }
            continue;
        }
        // Not ours: moved aside, so that what lay there is never used, then
        // removed without following anything in it.
        std::string aside =
            name + ".untrusted." + std::to_string(getpid()) + "." + std::to_string(attempt);
        if (renameat(parent.get(), name.c_str(), parent.get(), aside.c_str()) != 0 ||
            !RemoveEntryAt(parent.get(), aside.c_str(), 0)) {
            // Still there under its name: removing it in place is the last way.
            if (!RemoveEntryAt(parent.get(), name.c_str(), 0)) {
                return false;
            }
        }
    }
    return false;
}

bool CreateDir(const char* path) {
    std::string native = NativePath(path);
    return !native.empty() && mkdir(native.c_str(), 0777) == 0;
}

bool RemoveDir(const char* path) { return rmdir(NativePath(path).c_str()) == 0; }

bool RemoveFile(const char* path) { return unlink(NativePath(path).c_str()) == 0; }

bool CopyFileOver(const char* from, const char* to) {
    UniqueFd in(open(NativePath(from).c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) {
        return false;
    }
    struct stat st {};
    fstat(in.get(), &st);
    UniqueFd out(
        open(NativePath(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777));
    if (!out) {
        return false;
    }
    bool ok = true;
    static constexpr size_t kChunk = 1 << 16;
    char buffer[kChunk];
    for (;;) {
        ssize_t n = read(in.get(), buffer, kChunk);
        if (n == 0) {
            break;
        }
        if (n < 0 || write(out.get(), buffer, static_cast<size_t>(n)) != n) {
            ok = false;
            break;
        }
    }
    int saved = errno;
    in.reset();
    ok = out.close() && ok;
    if (ok) {
        // CopyFileA keeps the last-write time.
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        utimensat(AT_FDCWD, NativePath(to).c_str(), times, 0);
    }
    errno = saved;
    return ok;
}

bool MoveReplace(const char* from, const char* to) {
    return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

bool SetDosAttributes(const char* path, uint32_t attributes) {
    std::string native = NativePath(path);
    struct stat st {};
    if (lstat(native.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
        return false;
    }
    // Refuses a link that took the file's place since the look.
    return fchmodat(AT_FDCWD, native.c_str(), WithReadOnly(st.st_mode, attributes & kAttrReadOnly),
                    AT_SYMLINK_NOFOLLOW) == 0;
}

bool GetFullPath(const char* path, char* out, size_t outSize) {
    if (!path || !*path || !out || outSize == 0) {
        return false;
    }
    std::string native = NativePath(path);
    std::string full;
    if (native[0] == '/') {
        full = native;
    } else {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) {
            return false;
        }
        full = std::string(cwd) + "/" + native;
    }
    if (full.size() + 1 > outSize) {
        return false;
    }
    std::memcpy(out, full.c_str(), full.size() + 1);
    return true;
}

FILE* OpenStdio(const char* path, const char* mode) {
    return fopen(NativePath(path).c_str(), mode);
}

bool ListDir(const char* path, std::vector<DirEntry>* entries) {
    entries->clear();
    std::string native = NativePath(path);
    UniqueDir dir(opendir(native.c_str()));
    if (!dir) {
        return false;
    }
    while (struct dirent* e = readdir(dir.get())) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) {
            continue;
        }
        struct stat st {};
        bool known = fstatat(dirfd(dir.get()), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        entries->push_back({e->d_name, known && S_ISDIR(st.st_mode), known && S_ISLNK(st.st_mode)});
    }
    return true;
}

bool SetFileTimeFromDos(const char* path, uint32_t dosDateTime) {
    time_t when;
    if (!DosToTime(dosDateTime, &when)) {
        return false;
    }
    struct timespec times[2];
    WriteTimeOnly(times, when, 0);
    return utimensat(AT_FDCWD, NativePath(path).c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

uint32_t GetFileDosTime(const char* path) {
    struct stat st {};
    if (stat(NativePath(path).c_str(), &st) != 0) {
        return 0;
    }
    struct tm t {};
    time_t when = st.st_mtime;
    localtime_r(&when, &t);
    // A DOS date holds the years 1980 to 2107 only.
    if (t.tm_year < 80 || t.tm_year > 207) {
        return 0;
    }
    uint32_t date =
        static_cast<uint32_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
    uint32_t time = static_cast<uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
    return (date << 16) | time;
}

unsigned long LastFileError() { return static_cast<unsigned long>(errno); }

bool File::Open(const char* path, Mode mode) {
    Close();
    std::string native = NativePath(path);
    if (mode == Mode::CreateAlways) {
        struct stat st {};
        if (lstat(native.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st.st_mode))) {
                errno = EACCES;  // as CreateFileA on a read-only file
                return false;
            }
            if (unlink(native.c_str()) != 0 && errno != ENOENT) {
                return false;
            }
        }
    }
    int flags = mode == Mode::ReadDenyWrite ? O_RDONLY : O_WRONLY | O_CREAT | O_EXCL;
    UniqueFd fd(open(native.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd) {
        return false;
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    m_handle = fd.release();
    return true;
}

bool File::GetDosAttributes(uint32_t* attributes) const {
    struct stat st {};
    if (m_handle == kInvalid || fstat(static_cast<int>(m_handle), &st) != 0) {
        return false;
    }
    *attributes = IsReadOnlyMode(st.st_mode) ? kAttrReadOnly : 0;
    return true;
}

bool File::SetDosAttributes(uint32_t attributes) {
    struct stat st {};
    int fd = static_cast<int>(m_handle);
    return m_handle != kInvalid && fstat(fd, &st) == 0 &&
           fchmod(fd, WithReadOnly(st.st_mode, attributes & kAttrReadOnly)) == 0;
}

bool File::SetTimeFromDos(uint32_t dosDateTime) {
    time_t when;
    if (m_handle == kInvalid || !DosToTime(dosDateTime, &when)) {
        return false;
    }
    struct timespec times[2];
    WriteTimeOnly(times, when, 0);
    return futimens(static_cast<int>(m_handle), times) == 0;
}

bool File::GetWriteTime(int64_t* time) const {
    struct stat st {};
    if (m_handle == kInvalid || fstat(static_cast<int>(m_handle), &st) != 0) {
        return false;
    }
    *time = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool File::SetWriteTime(int64_t time) {
    if (m_handle == kInvalid) {
        return false;
    }
    struct timespec times[2];
    WriteTimeOnly(times, static_cast<time_t>(time / 1000000000),
                  static_cast<long>(time % 1000000000));
    return futimens(static_cast<int>(m_handle), times) == 0;
}

bool File::GetDosAttributesAndWriteTime(uint32_t* attributes, int64_t* time) const {
    struct stat st {};
    if (m_handle == kInvalid || fstat(static_cast<int>(m_handle), &st) != 0) {
        return false;
    }
    *attributes = IsReadOnlyMode(st.st_mode) ? kAttrReadOnly : 0;
    *time = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool File::SetWriteTimeAndDosAttributes(int64_t time, uint32_t attributes) {
    return SetWriteTime(time) && SetDosAttributes(attributes);
}

bool File::SetDosTimeAndAttributes(uint32_t dosDateTime, uint32_t attributes) {
    return SetTimeFromDos(dosDateTime) && SetDosAttributes(attributes);
}

long File::Read(void* buffer, size_t size) {
    for (;;) {
        ssize_t n = read(static_cast<int>(m_handle), buffer, size);
        if (n >= 0 || errno != EINTR) {
            return static_cast<long>(n);
        }
    }
}

bool File::Write(const void* buffer, size_t size) {
    const char* p = static_cast<const char*>(buffer);
    while (size > 0) {
        ssize_t n = write(static_cast<int>(m_handle), p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool File::Close() {
    if (m_handle == kInvalid) {
        return false;
    }
    int fd = static_cast<int>(m_handle);
    m_handle = kInvalid;
    return close(fd) == 0;
}

}  // namespace platform
