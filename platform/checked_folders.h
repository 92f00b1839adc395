// Folders that one update run has already made or found to be real folders,
// so that the next file below them does not look at every level again: each
// look is a system call per level and file, and under Wine a path lookup on
// the Unix side each time.
#pragma once

#include <string>
#include <unordered_set>

namespace platform {

class CheckedFolders {
public:
    bool Holds(const std::string& folder) const { return m_folders.count(folder) != 0; }
    void Add(const std::string& folder) { m_folders.insert(folder); }
    void Clear() { m_folders.clear(); }
    size_t Size() const { return m_folders.size(); }

private:
    std::unordered_set<std::string> m_folders;
};

}  // namespace platform
