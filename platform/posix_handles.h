// Owning wrappers for POSIX descriptors, folder streams and stdio files:
// move-only, each with its own invalid value and close function. Closing
// keeps errno, so an error path can still report the error that made it close.
#pragma once

#ifndef _WIN32

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <unistd.h>

namespace platform {

template <typename Traits>
class UniquePosix {
public:
    using Type = typename Traits::Type;

    UniquePosix() = default;
    explicit UniquePosix(Type value) : m_value(value) {}
    ~UniquePosix() { reset(); }
    UniquePosix(UniquePosix&& other) noexcept : m_value(other.release()) {}
    UniquePosix& operator=(UniquePosix&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniquePosix(const UniquePosix&) = delete;
    UniquePosix& operator=(const UniquePosix&) = delete;

    Type get() const { return m_value; }
    explicit operator bool() const { return m_value != Traits::Invalid(); }
    Type release() {
        Type value = m_value;
        m_value = Traits::Invalid();
        return value;
    }
    void reset(Type value = Traits::Invalid()) {
        if (m_value != Traits::Invalid()) {
            int error = errno;
            Traits::Close(m_value);
            errno = error;
        }
        m_value = value;
    }
    // Closes and tells whether the close itself succeeded (it reports write
    // errors of some file systems).
    bool close() {
        if (m_value == Traits::Invalid()) {
            return false;
        }
        return Traits::Close(release()) == 0;
    }

private:
    Type m_value = Traits::Invalid();
};

struct FdTraits {
    using Type = int;
    static int Invalid() { return -1; }
    static int Close(int fd) { return ::close(fd); }
};
struct DirTraits {
    using Type = DIR*;
    static DIR* Invalid() { return nullptr; }
    static int Close(DIR* dir) { return ::closedir(dir); }
};
struct StdioTraits {
    using Type = FILE*;
    static FILE* Invalid() { return nullptr; }
    static int Close(FILE* file) { return ::fclose(file); }
};

using UniqueFd = UniquePosix<FdTraits>;
using UniqueDir = UniquePosix<DirTraits>;
using UniqueStdio = UniquePosix<StdioTraits>;

}  // namespace platform

#endif
