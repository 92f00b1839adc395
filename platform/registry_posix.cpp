#include "platform/registry.h"

#include "platform/codepage.h"
#include "platform/posix_handles.h"

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::mutex g_rootMutex;
std::string g_root = "/etc/lksupdate/registry";

// A key or value name must stay inside its folder.
bool IsSafeName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The key's folder, or empty when a level of the key cannot be a folder name.
std::string KeyFolder(const char* subkey) {
    std::string folder = RegistryRoot();
    std::string key = subkey ? subkey : "";
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = FindChar(key, '\\', start);
        if (end == std::string::npos) {
            end = key.size();
        }
        std::string level = key.substr(start, end - start);
        if (!level.empty()) {
            if (!IsSafeName(level)) {
                return std::string();
            }
            folder += "/" + level;
        }
        start = end + 1;
    }
    return folder;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool RegistryKey::Open(const char* subkey, RegistryAccess access) {
    Close();
    std::string folder = KeyFolder(subkey);
    if (folder.empty() || !IsFolder(folder)) {
        return false;
    }
    if (access == RegistryAccess::Write && ::access(folder.c_str(), W_OK) != 0) {
        return false;
    }
    m_folder = folder;
    m_writable = access == RegistryAccess::Write;
    m_key = this;
    return true;
}

bool RegistryKey::QueryValue(const char* name, char* buffer, uint32_t* size) const {
    if (!m_key || !name || !IsSafeName(name)) {
        return false;
    }
    UniqueStdio f(fopen((m_folder + "/" + name).c_str(), "rb"));
    if (!f) {
        return false;
    }
    // One byte more than the buffer tells a value that does not fit.
    std::string data(static_cast<size_t>(*size) + 1, '\0');
    size_t n = fread(&data[0], 1, data.size(), f.get());
    bool ok = !ferror(f.get()) && n <= *size;
    f.reset();
    if (ok) {
        data.copy(buffer, n);
        *size = static_cast<uint32_t>(n);
    }
    return ok;
}

bool RegistryKey::SetString(const char* name, const char* data, uint32_t size) {
    if (!m_key || !m_writable || !name || !IsSafeName(name)) {
        return false;
    }
    // Written beside the value and renamed over it, so a reader never sees half a value.
    std::string path = m_folder + "/" + name;
    std::string temp = path + ".new~";
    UniqueStdio f(fopen(temp.c_str(), "wb"));
    if (!f) {
        return false;
    }
    bool ok = fwrite(data, 1, size, f.get()) == size;
    ok = f.close() && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

bool RegistryKey::DeleteValue(const char* name) {
    return m_key && m_writable && name && IsSafeName(name) &&
           unlink((m_folder + "/" + name).c_str()) == 0;
}

void RegistryKey::Close() {
    m_key = nullptr;
    m_folder.clear();
    m_writable = false;
}

bool CreateRegistryKey(const char* subkey) {
    std::string folder = KeyFolder(subkey);
    if (folder.empty()) {
        return false;
    }
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/') {
            std::string level = folder.substr(0, pos);
            if (mkdir(level.c_str(), 0755) != 0 && errno != EEXIST) {
                return false;
            }
        }
    }
    return IsFolder(folder);
}

void SetRegistryRoot(const std::string& folder) {
    std::lock_guard<std::mutex> lock(g_rootMutex);
    g_root = folder;
}

std::string RegistryRoot() {
    std::lock_guard<std::mutex> lock(g_rootMutex);
    return g_root;
}

}  // namespace platform
