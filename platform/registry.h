// Keys below HKEY_LOCAL_MACHINE. POSIX keeps them in a small store: a folder
// per key and a file per value under a root folder, so that a key exists
// apart from its values and writing to a missing key fails as on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class RegistryAccess { Read, Write };

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens an existing key ("Software\Larkspan Office"); never creates one.
    bool Open(const char* subkey, RegistryAccess access);
    // Reads a value's bytes into `buffer`; `size` holds the buffer's size and
    // receives the data's. False when the value is missing or does not fit.
    bool QueryValue(const char* name, char* buffer, uint32_t* size) const;
    // Stores `size` bytes as a REG_SZ value.
    bool SetString(const char* name, const char* data, uint32_t size);
    bool DeleteValue(const char* name);
    void Close();

private:
    void* m_key = nullptr;  // HKEY on Windows
    std::string m_folder;   // the key's folder on POSIX
    bool m_writable = false;
};

// Creates a key and its parents (tests and the console updater's set-up).
bool CreateRegistryKey(const char* subkey);

// The POSIX store's root folder; no effect on Windows.
void SetRegistryRoot(const std::string& folder);
std::string RegistryRoot();

}  // namespace platform
