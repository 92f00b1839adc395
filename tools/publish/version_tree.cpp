#include "tools/publish/version_tree.h"

#include "platform/codepage.h"
#include "platform/fs.h"
#include "tools/publish/archive_writer.h"
#include "tools/publish/list_writer.h"
#include "tools/publish/name_rules.h"
#include "tools/publish/publish_paths.h"

#include <algorithm>
#include <set>

namespace publish {

namespace {

// Makes every folder of `listPath` below `treeDir` that `made` does not hold yet.
bool MakeFolders(const std::string& treeDir, const std::string& listPath,
                 std::set<std::string>* made, std::string* error) {
    size_t at = 0;
    while ((at = platform::FindChar(listPath, '\\', at + 1)) != std::string::npos) {
        std::string folder = listPath.substr(0, at);
        if (!made->insert(folder).second) {
            continue;
        }
        std::string path = PathBelow(treeDir, folder);
        if (!platform::CreateDir(path.c_str())) {
            *error = "cannot create the folder " + Printable(path) + " (error " +
                     std::to_string(platform::LastFileError()) + ")";
            return false;
        }
    }
    return true;
}

std::string BaseName(const std::string& listPath) {
    return listPath.substr(platform::FindLastChar(listPath, '\\') + 1);
}

}  // namespace

bool BuildVersionTree(const std::vector<ReleaseFile>& files, const std::string& treeDir,
                      std::string* error) {
    std::vector<ListEntry> lines;
    lines.reserve(files.size());
    std::set<std::string> folders;
    uint32_t latest = kEarliestDosTime;
    for (const auto& file : files) {
        ArchiveEntry entry;
        entry.name = BaseName(file.listPath);
        entry.dosTime = platform::GetFileDosTime(file.sourcePath.c_str());
        if (entry.dosTime == 0) {
            *error = "cannot read the time of " + Printable(file.sourcePath) +
                     " as a DOS time (1980 to 2107)";
            return false;
        }
        platform::FileAttributes attrs = platform::GetAttributes(file.sourcePath.c_str());
        entry.attributes = attrs.readOnly ? kEntryReadOnly : kEntryArchive;
        if (!MakeFolders(treeDir, file.listPath, &folders, error)) {
            return false;
        }
        StoredFile stored;
        if (!WriteFileArchive(PathBelow(treeDir, file.listPath) + ".zip", file.sourcePath, entry,
                              &stored, error)) {
            return false;
        }
        lines.push_back({file.listPath, stored.md5, stored.size, stored.sha256});
        latest = std::max(latest, entry.dosTime);
    }
    std::string list = JoinPath(treeDir, "codelist.txt");
    if (!WriteCodeList(list, lines, error)) {
        return false;
    }
    ArchiveEntry listEntry;
    listEntry.name = "codelist.txt";
    listEntry.dosTime = latest;
    listEntry.attributes = kEntryArchive;
    StoredFile stored;
    return WriteFileArchive(list + ".zip", list, listEntry, &stored, error);
}

}  // namespace publish
