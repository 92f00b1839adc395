#include "tools/publish/key_files.h"

#include "platform/fs.h"
#include "tools/publish/name_rules.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace publish {

namespace {

std::string Failed(const char* what, const std::string& path) {
    return std::string("cannot ") + what + " " + Printable(path) + " (" + std::strerror(errno) +
           ")";
}

#ifdef _WIN32
int OpenNew(const char* path, bool secret) {
    // Windows keeps no POSIX mode bits: a secret file inherits the folder's
    // access rights, and the user chooses that folder.
    (void)secret;
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int WriteSome(int fd, const char* data, size_t size) {
    return _write(fd, data, static_cast<unsigned>(size));
}
int CloseFd(int fd) { return _close(fd); }
#else
int OpenNew(const char* path, bool secret) {
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, secret ? 0600 : 0644);
}
ssize_t WriteSome(int fd, const char* data, size_t size) { return write(fd, data, size); }
int CloseFd(int fd) { return close(fd); }
#endif

}  // namespace

bool ReadSmallFile(const std::string& path, size_t maxSize, std::string* text, std::string* error,
                   bool* missing) {
    if (missing) {
        *missing = false;
    }
    FILE* file = platform::OpenStdio(path.c_str(), "rb");
    if (!file) {
        if (missing) {
            *missing = errno == ENOENT;
        }
        *error = Failed("open", path);
        return false;
    }
    text->assign(maxSize + 1, '\0');
    size_t got = std::fread(&(*text)[0], 1, text->size(), file);
    bool bad = std::ferror(file) != 0;
    std::fclose(file);
    text->resize(got);
    if (bad) {
        *error = Failed("read", path);
        return false;
    }
    if (got > maxSize) {
        *error = Printable(path) + " is longer than " + std::to_string(maxSize) + " bytes";
        return false;
    }
    return true;
}

bool WriteNewFile(const std::string& path, const std::string& text, bool secret,
                  std::string* error) {
    std::string native = platform::NativePath(path.c_str());
    int fd = OpenNew(native.c_str(), secret);
    if (fd < 0) {
        *error = errno == EEXIST ? Printable(path) + " exists already: it is not replaced"
                                 : Failed("create", path);
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        auto n = WriteSome(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            *error = Failed("write", path);
            CloseFd(fd);
            std::remove(native.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (CloseFd(fd) != 0) {
        *error = Failed("write", path);
        std::remove(native.c_str());
        return false;
    }
    return true;
}

}  // namespace publish
