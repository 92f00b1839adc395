#include "tools/publish/version_trees.h"

#include "platform/fs.h"
#include "tools/publish/name_rules.h"
#include "tools/publish/publish_paths.h"

#include <algorithm>
#include <cstdlib>

namespace publish {

namespace {

// The <n> of a tree name of `version`; false for any other name.
bool TreeNumber(const std::string& name, const std::string& version, unsigned long* number) {
    std::string prefix = "." + version + ".";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *number = std::strtoul(digits.c_str(), nullptr, 10);
    return true;
}

}  // namespace

bool IsTreeName(const std::string& name, const std::string& version) {
    unsigned long number = 0;
    return TreeNumber(name, version, &number);
}

std::string TreeName(const std::string& version, unsigned long number) {
    return "." + version + "." + std::to_string(number);
}

unsigned long NextTreeNumber(const std::string& serverRoot, const std::string& version) {
    unsigned long highest = 0;
    std::vector<platform::DirEntry> entries;
    platform::ListDir(serverRoot.c_str(), &entries);
    for (const auto& entry : entries) {
        unsigned long number = 0;
        if (TreeNumber(entry.name, version, &number) && number > highest) {
            highest = number;
        }
    }
    return highest + 1;
}

void RemoveOtherTrees(const std::string& serverRoot, const std::string& version,
                      const std::vector<std::string>& keep, std::vector<std::string>* warnings) {
    std::vector<platform::DirEntry> entries;
    platform::ListDir(serverRoot.c_str(), &entries);
    for (const auto& entry : entries) {
        if (!IsTreeName(entry.name, version) ||
            std::find(keep.begin(), keep.end(), entry.name) != keep.end()) {
            continue;
        }
        std::string path = JoinPath(serverRoot, entry.name);
        if (!platform::RemoveTree(path.c_str())) {
            warnings->push_back("cannot remove the old tree " + Printable(path));
        }
    }
}

bool RemoveFolder(const std::string& path) {
    return platform::RemoveTree(path.c_str()) && !platform::GetAttributes(path.c_str()).exists;
}

}  // namespace publish
