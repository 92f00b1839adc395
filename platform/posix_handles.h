// Owning wrappers for POSIX descriptors, folder streams and stdio files,
// each with its own invalid value and close function
// (platform/unique_resource.h).
#pragma once

#ifndef _WIN32

#include "platform/unique_resource.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <unistd.h>

namespace platform {

// What closing a descriptor must leave alone.
struct KeepsErrno {
    static int SaveError() { return errno; }
    static void RestoreError(int error) { errno = error; }
};

struct FdTraits : KeepsErrno {
    using Type = int;
    static int Invalid() { return -1; }
    static bool Close(int fd) { return ::close(fd) == 0; }
};
struct DirTraits : KeepsErrno {
    using Type = DIR*;
    static DIR* Invalid() { return nullptr; }
    static bool Close(DIR* dir) { return ::closedir(dir) == 0; }
};
struct StdioTraits : KeepsErrno {
    using Type = FILE*;
    static FILE* Invalid() { return nullptr; }
    static bool Close(FILE* file) { return ::fclose(file) == 0; }
};

using UniqueFd = UniqueResource<FdTraits>;
using UniqueDir = UniqueResource<DirTraits>;
using UniqueStdio = UniqueResource<StdioTraits>;

}  // namespace platform

#endif
