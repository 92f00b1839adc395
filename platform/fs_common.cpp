#include "platform/codepage.h"
#include "platform/fs.h"

namespace platform {

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        other.m_handle = kInvalid;
    }
    return *this;
}

void CreateParentFolders(const std::string& path, CheckedFolders* present) {
    std::string text = path;
    std::vector<std::string> folders;  // the file's own folder first
    while (text.size() > 3) {
        size_t cut = FindLastChar(text, '\\');
        text.resize(cut == std::string::npos ? 0 : cut);
        folders.push_back(text);
    }
    // Making a folder that is there fails and changes nothing, so the
    // levels from the first one that exists upwards are left alone.
    size_t missing = 0;
    for (; missing < folders.size(); ++missing) {
        const std::string& folder = folders[missing];
        if (folder.empty() || (present && present->Holds(folder))) {
            break;
        }
        FileAttributes attrs = GetAttributes(folder.c_str());
        if (attrs.exists) {
            if (present && attrs.directory) {
                present->Add(folder);
            }
            break;
        }
    }
    for (size_t i = missing; i-- > 0;) {
        if (CreateDir(folders[i].c_str()) && present) {
            present->Add(folders[i]);
        }
    }
}

namespace {

constexpr int kMaxScanDepth = 64;

bool HoldsOnlyPlainEntriesAt(const std::string& path, int depth) {
    std::vector<DirEntry> entries;
    if (depth > kMaxScanDepth || !ListDir(path.c_str(), &entries)) {
        return false;
    }
    for (const DirEntry& entry : entries) {
#ifndef _WIN32
        // A "\\" of its own would be read as a separator (a GBK second byte 0x5C is not).
        if (FindChar(entry.name, '\\') != std::string::npos) {
            return false;
        }
#endif
        if (entry.link ||
            (entry.directory && !HoldsOnlyPlainEntriesAt(path + "\\" + entry.name, depth + 1))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool HoldsOnlyPlainEntries(const char* path) { return HoldsOnlyPlainEntriesAt(path, 0); }

namespace {

// `root` and `path` with "\\" for every separator ("/" separates as "\\"
// does, in the engine's paths and on POSIX alike); false unless `path` lies
// below `root`.
bool SplitBelow(const std::string& rootGiven, const std::string& pathGiven, std::string* root,
                std::string* path) {
    *root = ReplaceChar(rootGiven, '/', '\\');
    *path = ReplaceChar(pathGiven, '/', '\\');
    return !root->empty() && path->size() > root->size() &&
           path->compare(0, root->size(), *root) == 0 && (*path)[root->size()] == '\\';
}

}  // namespace

bool IsLinkFreeBelow(const std::string& rootGiven, const std::string& pathGiven,
                     CheckedFolders* checked) {
    std::string root, path;
    if (!SplitBelow(rootGiven, pathGiven, &root, &path)) {
        return false;
    }
    for (size_t i = root.size() + 1; i < path.size(); i += CharLength(path, i)) {
        if (path[i] == '\\') {
            std::string level = path.substr(0, i);
            if (checked && checked->Holds(level)) {
                continue;
            }
            FileAttributes attrs = GetAttributes(level.c_str());
            if (!attrs.exists) {
                return true;  // nothing below a missing level can be a link yet
            }
            if (!attrs.directory) {
                return false;
            }
            if (checked) {
                checked->Add(level);
            }
        }
    }
    return !GetAttributes(path.c_str()).link;
}

namespace {

// Removes what stands at `path` unless it is a real folder or missing.
bool ClearNonFolder(const std::string& path, bool keepFile) {
    FileAttributes attrs = GetAttributes(path.c_str());
    if (!attrs.exists || attrs.directory || (keepFile && !attrs.link)) {
        return true;
    }
    SetDosAttributes(path.c_str(), kAttrNormal);  // refused for a link, as it should be
    return RemoveFile(path.c_str()) || RemoveDir(path.c_str());
}

}  // namespace

bool MakeLinkFreeBelow(const std::string& rootGiven, const std::string& pathGiven,
                       CheckedFolders* checked) {
    std::string root, path;
    if (!SplitBelow(rootGiven, pathGiven, &root, &path)) {
        return false;
    }
    for (size_t i = root.size() + 1; i < path.size(); i += CharLength(path, i)) {
        if (path[i] == '\\') {
            std::string level = path.substr(0, i);
            if (checked && checked->Holds(level)) {
                continue;
            }
            if (!ClearNonFolder(level, false)) {
                return false;
            }
            CreateDir(level.c_str());
            if (!GetAttributes(level.c_str()).directory) {
                return false;
            }
            if (checked) {
                checked->Add(level);
            }
        }
    }
    return ClearNonFolder(path, true);
}

}  // namespace platform
