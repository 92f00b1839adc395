// The updater's settings: where updates go, which server and version, and
// whether this machine serves updates to others.
#pragma once

#include <string>

constexpr int UPDATE_MODE_SERVER = 1;  // archives are mirrored, not unpacked
constexpr int UPDATE_MODE_CLIENT = 2;  // archives are unpacked and installed

struct UpdateSettings {
    int m_nUpdateMode = UPDATE_MODE_CLIENT;
    std::string m_strUpdateRoot;  // replaces the registry "Path" as the target
    std::string m_strWinVersion;  // replaces the registry "Version" on the server
    bool m_bUseHost = false;      // m_strUpdateHost instead of the default host
    std::string m_strUpdateHost;
};
