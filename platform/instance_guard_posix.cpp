#include "platform/instance_guard.h"

#include "platform/posix_handles.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

std::mutex g_mutex;
std::string g_path = "/var/tmp/lksupdate.lock";
platform::UniqueFd g_lock;

// A lock file that only this user could have made and no one else may open
// for writing: a regular file with one name, the user's, mode 0600.
bool IsOwnLockFile(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
           st.st_nlink == 1 && (st.st_mode & 077) == 0;
}

}  // namespace

void SetUpdaterGuardPath(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_path = path;
}

bool AcquireUpdaterGuard() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_lock) {
        return true;
    }
    // The folder may be one every user writes (/var/tmp): a file someone
    // else put there, or a link, is removed and the lock made afresh, so no
    // one but this user can hold it. Bounded: they may put one back.
    for (int attempt = 0; attempt < 4; ++attempt) {
        platform::UniqueFd fd(
            open(g_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd && errno != ELOOP) {
            return false;
        }
        if (!fd || !IsOwnLockFile(fd.get())) {
            if (unlink(g_path.c_str()) != 0 && errno != ENOENT) {
                return false;
            }
            continue;
        }
        // Kept open for the life of the process: the lock goes with it.
        if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            return false;
        }
        g_lock = std::move(fd);
        return true;
    }
    return false;
}
