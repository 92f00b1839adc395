#include "support/temp_dir.h"

#include "platform/fs.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace testsupport {

namespace {

std::string TempRoot() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, buffer);
    std::string root(buffer, n);
    while (!root.empty() && root.back() == '\\') {
        root.pop_back();
    }
    return root;
#else
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
#endif
}

unsigned long ProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::string root = TempRoot();
    for (;;) {
        m_path =
            root + "\\lks-test-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++);
        if (platform::CreateDir(m_path.c_str())) {
            break;
        }
    }
}

TempDir::~TempDir() { RemoveTree(m_path); }

bool RemoveTree(const std::string& path) {
    return platform::RemoveTree(path.c_str()) && !platform::GetAttributes(path.c_str()).exists;
}

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    FILE* f = platform::OpenStdio(path.c_str(), "rb");
    if (!f) {
        return bytes;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.append(buffer, n);
    }
    fclose(f);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    FILE* f = platform::OpenStdio(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (fclose(f) == 0) && ok;
}

bool FileExists(const std::string& path) {
    platform::FileAttributes a = platform::GetAttributes(path.c_str());
    return a.exists && !a.directory;
}

bool FolderExists(const std::string& path) {
    platform::FileAttributes a = platform::GetAttributes(path.c_str());
    return a.exists && a.directory;
}

}  // namespace testsupport
