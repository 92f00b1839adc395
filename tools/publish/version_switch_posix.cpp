#include "tools/publish/version_switch.h"

#include "platform/fs.h"
#include "tools/publish/name_rules.h"
#include "tools/publish/publish_paths.h"
#include "tools/publish/version_trees.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace publish {

namespace {

std::string Native(const std::string& path) { return platform::NativePath(path.c_str()); }

std::string SystemError(const char* what, const std::string& path) {
    return std::string(what) + " " + Printable(path) + ": " + strerror(errno);
}

// Puts the link `link` in the place of the plain folder `target` in one step;
// the folder then stands at `link`.
bool ExchangeFolder(const std::string& link, const std::string& target) {
#ifdef RENAME_EXCHANGE
    return renameat2(AT_FDCWD, link.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0;
#else
    (void)link;
    (void)target;
    errno = ENOSYS;
    return false;
#endif
}

// What the link `path` points to; empty when it cannot be read.
std::string LinkTarget(const std::string& path) {
    char buffer[4096];
    ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) {
        return std::string();
    }
    return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace

bool SwitchVersion(const std::string& serverRoot, const std::string& version,
                   const std::string& treeName, const std::string& spareName, std::string* previous,
                   std::string* error) {
    previous->clear();
    std::string target = Native(JoinPath(serverRoot, version));
    std::string link = Native(JoinPath(serverRoot, "." + version + ".link"));
    struct stat st {};
    bool exists = lstat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        *error = SystemError("cannot examine", target);
        return false;
    }
    bool plainFolder = exists && S_ISDIR(st.st_mode);
    if (exists && !plainFolder && !S_ISLNK(st.st_mode)) {
        *error = Printable(target) + " is neither a folder nor a link; move it away first";
        return false;
    }
    // A link left by an interrupted run is stale.
    unlink(link.c_str());
    // Relative, so the server root may be moved or mounted elsewhere.
    if (symlink(treeName.c_str(), link.c_str()) != 0) {
        *error = SystemError("cannot create the link", link);
        return false;
    }
    if (!plainFolder) {
        std::string old = exists ? LinkTarget(target) : std::string();
        if (rename(link.c_str(), target.c_str()) != 0) {
            *error = SystemError("cannot switch", target);
            unlink(link.c_str());
            return false;
        }
        if (IsTreeName(old, version)) {
            *previous = old;
        }
        return true;
    }
    if (!ExchangeFolder(link, target)) {
        *error = SystemError("cannot exchange the plain folder", target) +
                 " (move it away, then publish again)";
        unlink(link.c_str());
        return false;
    }
    // The old folder now stands at the link's name: give it a tree name so the
    // caller's clean-up removes it. The switch is done either way.
    std::string spare = Native(JoinPath(serverRoot, spareName));
    if (rename(link.c_str(), spare.c_str()) == 0) {
        *previous = spareName;
    } else {
        RemoveFolder(link);
    }
    return true;
}

}  // namespace publish
