#include "publish_test_support.h"

#include "platform/fs.h"
#include "support/temp_dir.h"

#include "unzip.h"

#include <vector>

namespace publishtest {

void MakeReleaseFile(const std::string& releaseDir, const ReleaseFileSpec& file) {
    std::string path = releaseDir + file.path;
    platform::CreateParentFolders(path);
    testsupport::WriteFileBytes(path, file.content);
    platform::SetFileTimeFromDos(path.c_str(), file.dosTime);
    if (file.readOnly) {
        platform::SetDosAttributes(path.c_str(), platform::kAttrReadOnly);
    }
}

bool ReadZip(const std::string& path, std::vector<ZipEntry>* entries) {
    entries->clear();
    unzFile zip = unzOpen(platform::NativePath(path.c_str()).c_str());
    if (!zip) {
        return false;
    }
    bool ok = true;
    for (int rc = unzGoToFirstFile(zip); ok && rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        unz_file_info info;
        char name[512];
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            unzOpenCurrentFile(zip) != UNZ_OK) {
            ok = false;
            break;
        }
        ZipEntry entry;
        entry.name = name;
        entry.versionMadeBy = info.version;
        entry.method = info.compression_method;
        entry.dosTime = info.dosDate;
        entry.externalAttributes = info.external_fa;
        std::vector<char> buffer(65536);
        int n;
        while ((n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) >
               0) {
            entry.content.append(buffer.data(), static_cast<size_t>(n));
        }
        // A bad CRC shows at the close.
        if (unzCloseCurrentFile(zip) != UNZ_OK || n < 0) {
            ok = false;
        }
        entries->push_back(entry);
    }
    unzClose(zip);
    return ok;
}

namespace {

void CollectTree(const std::string& folder, const std::string& relative,
                 std::map<std::string, std::string>* files) {
    std::vector<platform::DirEntry> entries;
    platform::ListDir(folder.c_str(), &entries);
    for (const auto& entry : entries) {
        std::string path = folder + "\\" + entry.name;
        std::string rel = relative + "\\" + entry.name;
        if (entry.directory) {
            CollectTree(path, rel, files);
        } else {
            (*files)[rel] = testsupport::ReadFileBytes(path);
        }
    }
}

}  // namespace

std::map<std::string, std::string> TreeBytes(const std::string& folder) {
    std::map<std::string, std::string> files;
    CollectTree(folder, std::string(), &files);
    return files;
}

std::set<std::string> FolderNames(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    platform::ListDir(folder.c_str(), &entries);
    std::set<std::string> names;
    for (const auto& entry : entries) {
        names.insert(entry.name);
    }
    return names;
}

bool SplitCrLfLines(const std::string& text, std::vector<std::string>* lines) {
    lines->clear();
    size_t begin = 0;
    while (begin < text.size()) {
        size_t lf = text.find('\n', begin);
        if (lf == std::string::npos || lf == begin || text[lf - 1] != '\r') {
            return false;
        }
        std::string line = text.substr(begin, lf - 1 - begin);
        if (line.find('\r') != std::string::npos) {
            return false;
        }
        lines->push_back(line);
        begin = lf + 1;
    }
    return true;
}

bool StoresGbkNames() {
    testsupport::TempDir dir;
    std::string name = "probe" JOU ".txt";
    if (!testsupport::WriteFileBytes(dir / name, "x")) {
        return false;
    }
    return FolderNames(dir.path()).count(name) == 1;
}

}  // namespace publishtest
