#include "platform/fs.h"

#include "platform/codepage.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string NativePath(const char* path) { return ReplaceChar(path ? path : "", '\\', '/'); }

FileAttributes GetAttributes(const char* path) {
    FileAttributes attrs;
    struct stat st {};
    std::string native = NativePath(path);
    if (native.empty() || stat(native.c_str(), &st) != 0) {
        return attrs;
    }
    attrs.exists = true;
    attrs.directory = S_ISDIR(st.st_mode);
    attrs.readOnly = (st.st_mode & 0222) == 0;
    return attrs;
}

bool CreateDir(const char* path) {
    std::string native = NativePath(path);
    return !native.empty() && mkdir(native.c_str(), 0777) == 0;
}

bool RemoveDir(const char* path) { return rmdir(NativePath(path).c_str()) == 0; }

bool RemoveFile(const char* path) { return unlink(NativePath(path).c_str()) == 0; }

bool CopyFileOver(const char* from, const char* to) {
    int in = open(NativePath(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    struct stat st {};
    fstat(in, &st);
    int out =
        open(NativePath(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
        int saved = errno;
        close(in);
        errno = saved;
        return false;
    }
    bool ok = true;
    static constexpr size_t kChunk = 1 << 16;
    char buffer[kChunk];
    for (;;) {
        ssize_t n = read(in, buffer, kChunk);
        if (n == 0) {
            break;
        }
        if (n < 0 || write(out, buffer, static_cast<size_t>(n)) != n) {
            ok = false;
            break;
        }
    }
    int saved = errno;
    close(in);
    if (close(out) != 0) {
        ok = false;
    }
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
    if (stat(native.c_str(), &st) != 0) {
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & kAttrReadOnly) ? (mode & ~mode_t{0222}) : (mode | S_IWUSR);
    return chmod(native.c_str(), mode) == 0;
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
    DIR* dir = opendir(native.c_str());
    if (!dir) {
        return false;
    }
    while (struct dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) {
            continue;
        }
        struct stat st {};
        std::string child = native + "/" + e->d_name;
        bool isDir = lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries->push_back({e->d_name, isDir});
    }
    closedir(dir);
    return true;
}

bool SetFileTimeFromDos(const char* path, uint32_t dosDateTime) {
    struct tm t {};
    unsigned date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
    t.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    t.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    t.tm_mday = static_cast<int>(date & 0x1F);
    t.tm_hour = static_cast<int>((time >> 11) & 0x1F);
    t.tm_min = static_cast<int>((time >> 5) & 0x3F);
    t.tm_sec = static_cast<int>((time & 0x1F) * 2);
    t.tm_isdst = -1;
    time_t when = mktime(&t);
    if (when == static_cast<time_t>(-1)) {
        return false;
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = when;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, NativePath(path).c_str(), times, 0) == 0;
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

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        other.m_handle = kInvalid;
    }
    return *this;
}

bool File::Open(const char* path, Mode mode) {
    Close();
    std::string native = NativePath(path);
    int fd = mode == Mode::CreateAlways
                 ? open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                 : open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return false;
    }
    m_handle = fd;
    return true;
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
