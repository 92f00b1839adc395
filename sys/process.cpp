#include "sys/process.h"

#include "platform/image_imports.h"
#include "platform/process_snapshot.h"

#include <cstring>

namespace {

void StoreRow(ProcessEntry* row, uint32_t id, const char* path) {
    size_t length = strnlen(path, sizeof(row->m_szExePath) - 1);
    row->m_dwProcessId = id;
    std::memcpy(row->m_szExePath, path, length);
    row->m_szExePath[length] = '\0';
}

}  // namespace

CProcess::CProcess()
    : m_pProcesses(new ProcessEntry[kMaxProcesses]()),
      m_hModules(),
      m_nProcessCount(0),
      m_nModuleCount(0),
      m_bWinNT(platform::IsNtFamily()) {}

CProcess::CProcess(const CProcess& other)
    : m_pProcesses(new ProcessEntry[kMaxProcesses]),
      m_hModules(),
      m_nProcessCount(other.m_nProcessCount),
      m_nModuleCount(other.m_nModuleCount),
      m_bWinNT(other.m_bWinNT) {
    std::memcpy(m_pProcesses, other.m_pProcesses, sizeof(ProcessEntry) * kMaxProcesses);
    std::memcpy(m_hModules, other.m_hModules, sizeof(m_hModules));
}

CProcess& CProcess::operator=(const CProcess& other) {
    if (this != &other) {
        std::memcpy(m_pProcesses, other.m_pProcesses, sizeof(ProcessEntry) * kMaxProcesses);
        std::memcpy(m_hModules, other.m_hModules, sizeof(m_hModules));
        m_nProcessCount = other.m_nProcessCount;
        m_nModuleCount = other.m_nModuleCount;
        m_bWinNT = other.m_bWinNT;
    }
    return *this;
}

CProcess::~CProcess() { delete[] m_pProcesses; }

bool CProcess::IsWin32() { return m_bWinNT; }

void CProcess::GetProccesStatue() {
    ClearProcess();
    if (m_bWinNT) {
        ProcessInNT();
    } else {
        ProcessIn98();
    }
}

void CProcess::GetModuleName(platform::ProcessHandle hProcess, platform::ModuleHandle hModule,
                             char* szName) {
    if (m_bWinNT) {
        platform::ModuleFileNameWithPsapi(hProcess, hModule, szName, platform::kMaxPath);
    } else {
        platform::ModuleFileNameOfOwn(hModule, szName, platform::kMaxPath);
    }
}

void CProcess::GetModuleStatue() { GetModuleStatue(platform::CurrentProcessId()); }

void CProcess::GetModuleStatue(uint32_t processId) {
    ClearModule();
    if (m_bWinNT) {
        ModuleInNT(processId);
    } else {
        ModuleIn98(processId);
    }
}

void CProcess::EnumAllModules(platform::ModuleHandle hModule) {
    ClearModule();
    EnumAllModulesLoop(hModule);
}

bool CProcess::ModlesInList(platform::ModuleHandle hModule) {
    for (int i = 0; i < m_nModuleCount; ++i) {
        if (m_hModules[i] == hModule) {
            return true;
        }
    }
    return false;
}

void CProcess::ClearProcess() {
    std::memset(m_pProcesses, 0, sizeof(ProcessEntry) * kMaxProcesses);
    m_nProcessCount = 0;
}

void CProcess::ClearModule() {
    for (platform::ModuleHandle& handle : m_hModules) {
        handle = nullptr;
    }
    m_nModuleCount = 0;
}

void CProcess::ProcessInNT() {
    platform::ListProcessesWithPsapi(kMaxProcesses, [this](uint32_t id, const char* path) {
        if (m_nProcessCount < kMaxProcesses) {
            StoreRow(&m_pProcesses[m_nProcessCount++], id, path);
        }
    });
}

void CProcess::ProcessIn98() {
    platform::ListProcessesWithToolhelp(kMaxProcesses, [this](uint32_t id, const char* path) {
        if (m_nProcessCount < kMaxProcesses) {
            StoreRow(&m_pProcesses[m_nProcessCount++], id, path);
        }
    });
}

void CProcess::ModuleInNT(uint32_t processId) {
    m_nModuleCount =
        static_cast<int>(platform::ListModulesWithPsapi(processId, m_hModules, kMaxModules));
}

void CProcess::ModuleIn98(uint32_t processId) {
    m_nModuleCount =
        static_cast<int>(platform::ListModulesWithToolhelp(processId, m_hModules, kMaxModules));
}

// Depth first: each DLL goes into the table before the DLLs it imports. A name
// that cannot be loaded gives a null handle, listed once like a module.
void CProcess::EnumAllModulesLoop(platform::ModuleHandle hModule) {
    if (!hModule) {
        return;
    }
    platform::ForEachImportName(hModule, [this](const char* name) {
        if (name[0] < 'a' || name[0] > 'z') {
            return false;
        }
        if (m_nModuleCount >= kMaxModules) {
            return false;  // the table is full: nothing more can be listed
        }
        platform::ModuleHandle imported = platform::LoadModule(name);
        if (!ModlesInList(imported)) {
            m_hModules[m_nModuleCount++] = imported;
            EnumAllModulesLoop(imported);
        }
        return true;
    });
}
