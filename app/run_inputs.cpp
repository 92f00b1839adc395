#include "app/run_inputs.h"

#include "app/sys_reg_info.h"
#include "app/trusted_keys.h"

std::string DefaultTempDir() {
#ifdef _WIN32
    return "c:\\temp\\lksupdate";
#else
    return "/var/tmp/lksupdate";
#endif
}

bool SettleRunInputs(const UpdateSettings& settings, CUpdateRun& run) {
    run.m_strTempDir = DefaultTempDir();
    run.m_strHost = settings.m_bUseHost ? settings.m_strUpdateHost : kDefaultUpdateHost;
    run.m_nUpdateMode = settings.m_nUpdateMode;
    run.m_trustedKeys = BuiltInTrustedKeys();

    CSysRegInfo reg;
    char value[kRegValueBufferSize];
    char pathName[] = "Path";
    char versionName[] = "Version";
    if (!reg.GetRegValue(pathName, value)) {
        return false;
    }
    run.m_strInstallPath = value;
    run.m_strVersion = reg.GetRegValue(versionName, value) ? value : "";
    if (!settings.m_strWinVersion.empty()) {
        run.m_strVersion = settings.m_strWinVersion;
    }
    if (!settings.m_strUpdateRoot.empty()) {
        run.m_strInstallPath = settings.m_strUpdateRoot;
    }
    return true;
}
