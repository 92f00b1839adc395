#include "engine/file_install.h"

#include "platform/fs.h"

#include <vector>

namespace {

constexpr char kStagingSuffix[] = ".lksnew";
constexpr uint32_t kAttrNormal = 0x80;

}  // namespace

bool RemoveFileForced(const std::string& path) {
    if (!platform::GetAttributes(path.c_str()).exists) {
        return true;
    }
    platform::SetDosAttributes(path.c_str(), kAttrNormal);
    return platform::RemoveFile(path.c_str());
}

bool InstallFile(const std::string& source, const std::string& target) {
    platform::CreateParentFolders(target);
    std::string staging = target + kStagingSuffix;
    if (!RemoveFileForced(staging) || !platform::CopyFileOver(source.c_str(), staging.c_str())) {
        return false;
    }
    // A read-only target (an earlier update may have made it so) must not
    // block the rename; the new file keeps the attributes it was copied with.
    platform::FileAttributes old = platform::GetAttributes(target.c_str());
    if (old.exists && old.readOnly) {
        platform::SetDosAttributes(target.c_str(), kAttrNormal);
    }
    if (!platform::MoveReplace(staging.c_str(), target.c_str())) {
        if (old.exists && old.readOnly) {
            platform::SetDosAttributes(target.c_str(), platform::kAttrReadOnly);
        }
        RemoveFileForced(staging);
        return false;
    }
    return true;
}

bool DeleteDirectory(const std::string& path) {
    std::vector<platform::DirEntry> entries;
    if (platform::ListDir(path.c_str(), &entries)) {
        for (const platform::DirEntry& entry : entries) {
            std::string child = path + "\\" + entry.name;
            if (entry.directory) {
                DeleteDirectory(child);
            } else {
                RemoveFileForced(child);
            }
        }
    }
    platform::SetDosAttributes(path.c_str(), kAttrNormal);
    return platform::RemoveDir(path.c_str());
}
