#include "sys/file_helpers.h"

#include "platform/fs.h"
#include "sys/zip_path.h"

#include <string_view>

bool CreateFolder(const char* path) {
    if (!path) {
        return false;
    }
    char folder[platform::kMaxPath];
    std::string_view trimmed = zippath::TrimFolder(path);
    if (trimmed.empty() || !zippath::CopyPath(folder, sizeof folder, trimmed)) {
        return false;
    }
    platform::FileAttributes attrs = platform::GetAttributes(folder);
    if (attrs.exists) {
        return attrs.directory;
    }
    size_t cut = zippath::LastSeparator(folder);
    if (cut == std::string_view::npos) {
        return true;  // a top level such as "c:" is taken as present
    }
    // Nothing before the separator: the root of a POSIX path, present too.
    if (cut > 0) {
        char separator = folder[cut];
        folder[cut] = '\0';
        bool parentMade = CreateFolder(folder);
        folder[cut] = separator;
        if (!parentMade) {
            return false;
        }
    }
    return platform::CreateDir(folder);
}

bool CreateFilePath(const char* path) {
    if (!path) {
        return false;
    }
    std::string_view file(path);
    size_t cut = zippath::LastSeparator(file);
    char folder[platform::kMaxPath];
    if (cut == std::string_view::npos ||
        !zippath::CopyPath(folder, sizeof folder, file.substr(0, cut))) {
        return false;
    }
    return CreateFolder(folder);
}

bool SetFileModTime(const char* path, uint32_t dosDateTime) {
    return path && platform::SetFileTimeFromDos(path, dosDateTime);
}
