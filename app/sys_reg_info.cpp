#include "app/sys_reg_info.h"

#include "engine/code_list.h"
#include "platform/registry.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kDefaultSection[] = "Software\\Larkspan Office";

void CopySection(char* to, const char* from) {
    size_t n = from ? strnlen(from, kRegSectionSize - 1) : 0;
    if (n > 0) {
        memmove(to, from, n);
    }
    to[n] = '\0';
}

}  // namespace

CSysRegInfo::CSysRegInfo() { CopySection(m_szSection, kDefaultSection); }

CSysRegInfo::CSysRegInfo(const CSysRegInfo& other) { CopySection(m_szSection, other.m_szSection); }

CSysRegInfo& CSysRegInfo::operator=(const CSysRegInfo& other) {
    CopySection(m_szSection, other.m_szSection);
    return *this;
}

CSysRegInfo::~CSysRegInfo() = default;

void CSysRegInfo::SetRegSection(char* section) { CopySection(m_szSection, section); }

void CSysRegInfo::InitRegKeys(char*) {}

bool CSysRegInfo::SetRegValue(char* name, char* text) {
    if (!text) {
        return false;
    }
    size_t size = strlen(text) + 1;
    platform::RegistryKey key;
    return size <= UINT32_MAX && key.Open(m_szSection, platform::RegistryAccess::Write) &&
           key.SetString(name, text, static_cast<uint32_t>(size));
}

bool CSysRegInfo::SetRegInt(char* name, int value) {
    char text[12];  // "-2147483648" and its NUL
    snprintf(text, sizeof text, "%d", value);
    return SetRegValue(name, text);
}

bool CSysRegInfo::GetRegValue(char* name, char* buffer) {
    if (!buffer) {
        return false;
    }
    platform::RegistryKey key;
    uint32_t size = kRegValueBufferSize;
    if (!key.Open(m_szSection, platform::RegistryAccess::Read) ||
        !key.QueryValue(name, buffer, &size)) {
        return false;
    }
    // Stored data need not end in a NUL; a value that fills the whole buffer
    // without one cannot be given as text.
    if (size > 0 && buffer[size - 1] == '\0') {
        return true;
    }
    if (size == static_cast<uint32_t>(kRegValueBufferSize)) {
        buffer[0] = '\0';
        return false;
    }
    buffer[size] = '\0';
    return true;
}

int CSysRegInfo::GetRegInt(char* name) {
    char buffer[kRegValueBufferSize];
    return GetRegValue(name, buffer) ? ReadNumber(buffer) : -1;
}

void CSysRegInfo::DeleteKey(char* name) {
    platform::RegistryKey key;
    if (key.Open(m_szSection, platform::RegistryAccess::Write)) {
        key.DeleteValue(name);
    }
}
