// The updater's settings: where updates go, which server and version, and
// whether this machine serves updates to others.
#pragma once

#include "engine/update_mode.h"

#include <string>

struct UpdateSettings {
    int m_nUpdateMode = UPDATE_MODE_CLIENT;
    std::string m_strUpdateRoot;  // replaces the registry "Path" as the target
    std::string m_strWinVersion;  // replaces the registry "Version" on the server
    bool m_bUseHost = false;      // m_strUpdateHost instead of the default host
    std::string m_strUpdateHost;
};
