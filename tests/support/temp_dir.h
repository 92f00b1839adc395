// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder in the engine's Windows form (no trailing separator).
    const std::string& path() const { return m_path; }
    // path() + "\" + relative.
    std::string operator/(const std::string& relative) const { return m_path + "\\" + relative; }

private:
    std::string m_path;
};

// Removes a tree, read-only files included. True when nothing is left.
bool RemoveTree(const std::string& path);

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

}  // namespace testsupport
