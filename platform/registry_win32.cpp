#include "platform/registry.h"

#include "platform/win32_handles.h"

namespace platform {

bool RegistryKey::Open(const char* subkey, RegistryAccess access) {
    Close();
    HKEY key = nullptr;
    REGSAM sam = access == RegistryAccess::Read ? KEY_READ : KEY_WRITE;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, sam, &key) != ERROR_SUCCESS) {
        return false;
    }
    m_key = key;
    m_writable = access == RegistryAccess::Write;
    return true;
}

bool RegistryKey::QueryValue(const char* name, char* buffer, uint32_t* size) const {
    DWORD bytes = *size;
    if (!m_key || RegQueryValueExA(static_cast<HKEY>(m_key), name, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS) {
        return false;
    }
    *size = bytes;
    return true;
}

bool RegistryKey::SetString(const char* name, const char* data, uint32_t size) {
    return m_key && RegSetValueExA(static_cast<HKEY>(m_key), name, 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool RegistryKey::DeleteValue(const char* name) {
    return m_key && RegDeleteValueA(static_cast<HKEY>(m_key), name) == ERROR_SUCCESS;
}

void RegistryKey::Close() {
    UniqueKey key(static_cast<HKEY>(m_key));
    m_key = nullptr;
}

bool CreateRegistryKey(const char* subkey) {
    UniqueKey key;
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                           nullptr) == ERROR_SUCCESS;
}

void SetRegistryRoot(const std::string&) {}
std::string RegistryRoot() { return "HKEY_LOCAL_MACHINE"; }

}  // namespace platform
