#include "support/scoped_registry.h"

#include "platform/fs.h"
#include "platform/registry.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace testsupport {

ScopedRegistry::ScopedRegistry() {
    m_previousRoot = platform::RegistryRoot();
#ifndef _WIN32
    platform::SetRegistryRoot(platform::NativePath(m_root.path().c_str()));
#endif
}

ScopedRegistry::~ScopedRegistry() {
#ifdef _WIN32
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, it->c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, it->c_str());
    }
#else
    platform::SetRegistryRoot(m_previousRoot);
#endif
}

bool ScopedRegistry::CreateKey(const std::string& subkey) {
    m_created.push_back(subkey);
#ifdef _WIN32
    // The real registry: a key left by a program run outside the tests must
    // not leak its values into this one.
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, subkey.c_str());
#endif
    return platform::CreateRegistryKey(subkey.c_str());
}

bool ScopedRegistry::SetText(const std::string& subkey, const std::string& name,
                             const std::string& text) {
    platform::RegistryKey key;
    if (!key.Open(subkey.c_str(), platform::RegistryAccess::Write)) {
        if (!CreateKey(subkey) || !key.Open(subkey.c_str(), platform::RegistryAccess::Write)) {
            return false;
        }
    } else {
        m_created.push_back(subkey);  // removed at the end all the same
    }
    return key.SetString(name.c_str(), text.c_str(), static_cast<uint32_t>(text.size() + 1));
}

}  // namespace testsupport
