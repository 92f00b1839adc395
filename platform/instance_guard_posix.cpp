#include "platform/instance_guard.h"

#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace {

std::mutex g_mutex;
std::string g_path = "/var/tmp/lksupdate.lock";
int g_fd = -1;

}  // namespace

void SetUpdaterGuardPath(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_path = path;
}

bool AcquireUpdaterGuard() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_fd >= 0) {
        return true;
    }
    // Kept open for the life of the process: the lock goes with it.
    int fd = open(g_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    g_fd = fd;
    return true;
}
