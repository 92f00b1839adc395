// Snapshots of the running processes and of the modules of one process or of
// the DLLs one module imports. Exported for the suite's other programs, which
// is why the names keep their exported spelling. Module handles are HINSTANCE
// and process handles HANDLE on Windows.
#pragma once

#include "platform/export.h"
#include "platform/fs.h"
#include "platform/module_handle.h"

#include <cstdint>

constexpr int kMaxProcesses = 255;
constexpr int kMaxModules = 250;

struct ProcessEntry {
    uint32_t m_dwProcessId;
    char m_szExePath[platform::kMaxPath];  // full path; empty when it cannot be read
};

class LKS_EXPORT CProcess {
public:
    CProcess();
    // Copies own their process table.
    CProcess(const CProcess& other);
    CProcess& operator=(const CProcess& other);
    virtual ~CProcess();

    // True on the NT family.
    bool IsWin32();
    // Fills the process table with the processes that run now.
    void GetProccesStatue();
    // The module's full file name into `szName` (at least 260 bytes). Off the
    // NT family the module must belong to the calling process.
    void GetModuleName(platform::ProcessHandle hProcess, platform::ModuleHandle hModule,
                       char* szName);
    // Fills the module table with the modules of this / of another process.
    void GetModuleStatue();
    void GetModuleStatue(uint32_t processId);
    // Fills the module table with every DLL that `hModule` imports, directly
    // or not, each once, depth first.
    void EnumAllModules(platform::ModuleHandle hModule);
    // True when `hModule` is among the first module-count handles of the table.
    bool ModlesInList(platform::ModuleHandle hModule);

    // kMaxProcesses rows, the first m_nProcessCount valid.
    ProcessEntry* m_pProcesses;

protected:
    void ClearProcess();
    void ClearModule();
    void ProcessInNT();
    void ProcessIn98();
    void ModuleInNT(uint32_t processId);
    void ModuleIn98(uint32_t processId);
    void EnumAllModulesLoop(platform::ModuleHandle hModule);

    platform::ModuleHandle m_hModules[kMaxModules];

public:
    int m_nProcessCount;

protected:
    int m_nModuleCount;
    bool m_bWinNT;
};
