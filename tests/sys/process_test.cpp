#include "sys/process.h"

#include "platform/codepage.h"
#include "platform/process_snapshot.h"
#include "process_fixtures/suite_process.h"
#include "process_fixtures/synthetic_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <cstdlib>
#endif

namespace {

using processtest::SuiteFileName;
using processtest::SuiteProcess;

// Opens the protected parts: the family flag, to take the other family's
// path, and the module table.
class InspectedProcess : public CProcess {
public:
    explicit InspectedProcess(bool nt) { m_bWinNT = nt; }
    InspectedProcess() = default;

    std::vector<platform::ModuleHandle> Modules() const {
        return std::vector<platform::ModuleHandle>(m_hModules, m_hModules + m_nModuleCount);
    }
};

std::vector<const ProcessEntry*> RowsOf(const CProcess& snapshot, uint32_t id) {
    std::vector<const ProcessEntry*> rows;
    for (int i = 0; i < snapshot.m_nProcessCount; ++i) {
        if (snapshot.m_pProcesses[i].m_dwProcessId == id) {
            rows.push_back(&snapshot.m_pProcesses[i]);
        }
    }
    return rows;
}

// How a snapshot shows a program run from `path`: Windows as given, letter
// case aside; POSIX the real path in the engine's form.
std::string AsListed(const std::string& path) {
#ifdef _WIN32
    return platform::UpperLatin(path);
#else
    char real[PATH_MAX];
    if (!realpath(platform::NativePath(path.c_str()).c_str(), real)) {
        return "";
    }
    return platform::ReplaceChar(real, '/', '\\');
#endif
}

std::string Listed(const ProcessEntry& row) {
#ifdef _WIN32
    return platform::UpperLatin(row.m_szExePath);
#else
    return row.m_szExePath;
#endif
}

bool EndsWithSuiteName(const char* path) {
    std::string upper = platform::UpperLatin(path);
    std::string name = platform::UpperLatin(SuiteFileName());
    return upper.size() >= name.size() &&
           upper.compare(upper.size() - name.size(), name.size(), name) == 0;
}

class ProcessSnapshotTest : public testing::TestWithParam<bool> {};

TEST_P(ProcessSnapshotTest, ListsARunningProgramOnceAndForgetsItWhenItEnds) {
    testsupport::TempDir dir;
    std::string program = dir / ("Larkspan\\program\\" + SuiteFileName());
    SuiteProcess suite;
    ASSERT_TRUE(suite.Start(program));

    InspectedProcess snapshot(GetParam());
    // The second walk must replace the first, not add to it.
    snapshot.GetProccesStatue();
    snapshot.GetProccesStatue();
    ASSERT_GT(snapshot.m_nProcessCount, 0);
    ASSERT_LE(snapshot.m_nProcessCount, kMaxProcesses);
    std::vector<const ProcessEntry*> rows = RowsOf(snapshot, suite.Id());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(EndsWithSuiteName(rows[0]->m_szExePath)) << rows[0]->m_szExePath;
    if (GetParam()) {
        EXPECT_EQ(Listed(*rows[0]), AsListed(program));
    } else {
#ifdef _WIN32
        // ToolHelp names the file only on the NT family: the 9x path was taken.
        EXPECT_EQ(platform::UpperLatin(rows[0]->m_szExePath), "LKSUITE.EXE");
#endif
    }

    const uint32_t ended = suite.Id();
    ASSERT_TRUE(suite.Stop());
    snapshot.GetProccesStatue();
    EXPECT_TRUE(RowsOf(snapshot, ended).empty());
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, ProcessSnapshotTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "NT" : "Win9x";
                         });

TEST(ProcessTest, StartsEmptyAndKnowsItsFamily) {
    InspectedProcess process;
    EXPECT_EQ(process.m_nProcessCount, 0);
    EXPECT_TRUE(process.Modules().empty());
    EXPECT_FALSE(process.ModlesInList(nullptr));
    EXPECT_EQ(process.IsWin32(), platform::IsNtFamily());
#ifdef _WIN32
    EXPECT_FALSE(process.ModlesInList(GetModuleHandleA(nullptr)));
    // Wine and every supported Windows are of the NT family.
    EXPECT_TRUE(process.IsWin32());
#endif
}

TEST(ProcessTest, CopiesOwnTheirProcessTable) {
    testsupport::TempDir dir;
    SuiteProcess suite;
    ASSERT_TRUE(suite.Start(dir / ("program\\" + SuiteFileName())));
    CProcess original;
    original.GetProccesStatue();
    ASSERT_GT(original.m_nProcessCount, 0);
    const ProcessEntry first = original.m_pProcesses[0];

    CProcess copy(original);
    CProcess assigned;
    assigned = original;
    for (CProcess* other : {&copy, &assigned}) {
        ASSERT_NE(other->m_pProcesses, original.m_pProcesses);
        ASSERT_EQ(other->m_nProcessCount, original.m_nProcessCount);
        EXPECT_EQ(RowsOf(*other, suite.Id()).size(), 1u);
        other->m_pProcesses[0].m_dwProcessId = first.m_dwProcessId + 1;
        std::strcpy(other->m_pProcesses[0].m_szExePath, "changed");
    }
    EXPECT_EQ(original.m_pProcesses[0].m_dwProcessId, first.m_dwProcessId);
    EXPECT_STREQ(original.m_pProcesses[0].m_szExePath, first.m_szExePath);
    assigned = assigned;
    EXPECT_STREQ(assigned.m_pProcesses[0].m_szExePath, "changed");
}

TEST(ProcessTest, ImportWalkOfNoModuleLeavesTheTableEmpty) {
    InspectedProcess process;
    process.GetModuleStatue();
    process.EnumAllModules(nullptr);
    EXPECT_TRUE(process.Modules().empty());
    EXPECT_FALSE(process.ModlesInList(nullptr));
}

#ifdef _WIN32

// Loads the import DLLs from the folder CMake built them into; loading again only counts up.
HMODULE LoadImportFixtures() {
    std::string dir = "Z:" + platform::ReplaceChar(LKS_PROCESS_FIXTURE_DIR, '/', '\\');
    return LoadLibraryExA((dir + "\\lksimp_m.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::vector<platform::ModuleHandle> Handles(const std::vector<const char*>& names) {
    std::vector<platform::ModuleHandle> handles;
    for (const char* name : names) {
        handles.push_back(*name ? GetModuleHandleA(name) : nullptr);
    }
    return handles;
}

bool HasDuplicates(std::vector<platform::ModuleHandle> modules) {
    std::sort(modules.begin(), modules.end());
    return std::adjacent_find(modules.begin(), modules.end()) != modules.end();
}

TEST(ModuleWalkTest, ListsImportsOfImportsDepthFirstEachOnce) {
    HMODULE top = LoadImportFixtures();
    ASSERT_NE(top, nullptr);
    InspectedProcess process;
    process.EnumAllModules(top);
    std::vector<platform::ModuleHandle> expected =
        Handles({"lksimp_p.dll", "lksimp_q.dll", "lksimp_r.dll"});
    for (platform::ModuleHandle handle : expected) {
        ASSERT_NE(handle, nullptr);
    }
    EXPECT_EQ(process.Modules(), expected);
    EXPECT_FALSE(process.ModlesInList(top));
    EXPECT_TRUE(process.ModlesInList(expected[2]));
}

TEST(ModuleWalkTest, WalksTheSystemImportsOfTheRunningProgram) {
    InspectedProcess process;
    process.EnumAllModules(GetModuleHandleA(nullptr));
    std::vector<platform::ModuleHandle> modules = process.Modules();
    EXPECT_TRUE(process.ModlesInList(GetModuleHandleA("kernel32.dll")));
    EXPECT_FALSE(process.ModlesInList(GetModuleHandleA(nullptr)));
    EXPECT_FALSE(HasDuplicates(modules));
    EXPECT_LE(modules.size(), static_cast<size_t>(kMaxModules));
}

struct ImportCase {
    const char* label;
    std::vector<std::string> imports;
    std::vector<const char*> expected;  // module names; "" for a null handle
};

void PrintTo(const ImportCase& c, std::ostream* out) { *out << c.label; }

class ImportNamesTest : public testing::TestWithParam<ImportCase> {};

TEST_P(ImportNamesTest, ListsWhatTheWalkMayLoad) {
    ASSERT_NE(LoadImportFixtures(), nullptr);
    const ImportCase& c = GetParam();
    processtest::SyntheticImage image(c.imports);
    InspectedProcess process;
    process.EnumAllModules(image.Module());
    EXPECT_EQ(process.Modules(), Handles(c.expected));
}

const std::string k259 = std::string(255, 'b') + ".dll";  // fits the buffer with its NUL
const std::string k260 = std::string(256, 'b') + ".dll";  // does not

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ImportNamesTest,
    testing::Values(
        ImportCase{"NoImportDirectory", {}, {}},
        ImportCase{"DigitEndsTheList", {"lksimp_q.dll", "9lives.dll", "lksimp_r.dll"}, {"lksimp_q.dll"}},
        ImportCase{"SignEndsTheList", {"_lksimp_q.dll", "lksimp_r.dll"}, {}},
        ImportCase{"NamesAreLowerCased", {"LKSIMP_R.DLL"}, {"lksimp_r.dll"}},
        ImportCase{"ImportsOfImportsFollow", {"lksimp_p.dll", "lksimp_r.dll"},
                   {"lksimp_p.dll", "lksimp_q.dll", "lksimp_r.dll"}},
        ImportCase{"UnloadableNamesListOneNull", {"lksimp_none1.dll", "lksimp_none2.dll", "lksimp_r.dll"},
                   {"", "lksimp_r.dll"}},
        ImportCase{"LongestNameIsTried", {k259, "lksimp_r.dll"}, {"", "lksimp_r.dll"}},
        ImportCase{"OverlongNameIsPassedOver", {k260, std::string(5000, 'c'), "lksimp_r.dll"},
                   {"lksimp_r.dll"}}),
    [](const testing::TestParamInfo<ImportCase>& param) { return std::string(param.param.label); });
// clang-format on

class ModuleListTest : public testing::TestWithParam<bool> {};

TEST_P(ModuleListTest, ListsTheModulesOfThisProcess) {
    InspectedProcess process(GetParam());
    process.GetModuleStatue();
    std::vector<platform::ModuleHandle> modules = process.Modules();
    ASSERT_FALSE(modules.empty());
    EXPECT_LE(modules.size(), static_cast<size_t>(kMaxModules));
    EXPECT_EQ(modules[0], GetModuleHandleA(nullptr));  // the executable comes first
    EXPECT_TRUE(process.ModlesInList(GetModuleHandleA("kernel32.dll")));
    EXPECT_FALSE(HasDuplicates(modules));

    char name[platform::kMaxPath];
    std::memset(name, 'x', sizeof(name));
    process.GetModuleName(GetCurrentProcess(), GetModuleHandleA("kernel32.dll"), name);
    ASSERT_NE(std::memchr(name, '\0', sizeof(name)), nullptr);
    std::string upper = platform::UpperLatin(name);
    EXPECT_NE(upper.find("\\KERNEL32.DLL"), std::string::npos) << name;
}

TEST_P(ModuleListTest, ListsTheModulesOfAnotherProcess) {
    testsupport::TempDir dir;
    std::string program = dir / ("program\\" + SuiteFileName());
    SuiteProcess suite;
    ASSERT_TRUE(suite.Start(program));
    InspectedProcess process(GetParam());
    process.GetModuleStatue(suite.Id());
    std::vector<platform::ModuleHandle> modules = process.Modules();
    ASSERT_FALSE(modules.empty());
    EXPECT_FALSE(HasDuplicates(modules));
    if (GetParam()) {
        // Only PSAPI reads the names of another process's modules.
        HANDLE other = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, suite.Id());
        ASSERT_NE(other, nullptr);
        char name[platform::kMaxPath] = "";
        process.GetModuleName(other, modules[0], name);
        CloseHandle(other);
        EXPECT_EQ(platform::UpperLatin(name), platform::UpperLatin(program));
    }
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, ModuleListTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "NT" : "Win9x";
                         });

#endif
}  // namespace
