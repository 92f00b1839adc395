// DLLs loaded by name come from the system folder, under the real Windows
// API (Wine).
#include "platform/system_library.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string SystemFolder() {
    char path[MAX_PATH] = "";
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

std::string FileOf(HMODULE module) {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

TEST(SystemLibraryTest, LoadsFromTheSystemFolder) {
    for (const char* name : {"psapi.dll", "kernel32.dll", "shell32.dll", "uxtheme.dll"}) {
        SCOPED_TRACE(name);
        HMODULE module = platform::LoadSystemLibrary(name);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, FileOf(module).c_str(), -1,
                                 (SystemFolder() + "\\" + name).c_str(), -1),
                  CSTR_EQUAL)
            << FileOf(module);
        FreeLibrary(module);
    }
}

TEST(SystemLibraryTest, TakesBareNamesOnly) {
    std::string inSystem = SystemFolder() + "\\psapi.dll";
    for (const char* name : {"", "c:\\temp\\psapi.dll", "..\\psapi.dll", "sub/psapi.dll",
                             "c:psapi.dll", inSystem.c_str()}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(platform::LoadSystemLibrary(name), nullptr);
    }
    EXPECT_EQ(platform::LoadSystemLibrary(nullptr), nullptr);
}

TEST(SystemLibraryTest, WineHasTheDefaultDirectoriesCall) {
    EXPECT_TRUE(platform::RestrictDllSearchToSystemFolder());
}

}  // namespace
