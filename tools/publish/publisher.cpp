#include "tools/publish/publisher.h"

#include "platform/fs.h"
#include "tools/publish/name_rules.h"
#include "tools/publish/publish_paths.h"
#include "tools/publish/release_walk.h"
#include "tools/publish/version_switch.h"
#include "tools/publish/version_tree.h"
#include "tools/publish/version_trees.h"

namespace publish {

namespace {

bool NextSerial(const std::string& serverRoot, const std::string& version,
                const ListSigning& signing, uint64_t* serial, std::string* error) {
    if (signing.serial) {
        *serial = *signing.serial;
        return true;
    }
    std::optional<uint64_t> served;
    if (!ServedSerial(JoinPath(serverRoot, version), &served, error)) {
        return false;
    }
    if (served && *served == UINT64_MAX) {
        *error = "the served list has the last serial there is";
        return false;
    }
    *serial = served ? *served + 1 : 1;
    return true;
}

}  // namespace

bool Publish(const std::string& releaseDir, const std::string& serverRoot,
             const std::string& version, PublishResult* result, std::string* error,
             PublishObserver* observer, const ListSigning* signing) {
    std::string why = VersionRefusal(version);
    if (!why.empty()) {
        *error = "the version name \"" + Printable(version) + "\" " + why;
        return false;
    }
    std::vector<ReleaseFile> files;
    if (!WalkRelease(releaseDir, &files, error)) {
        return false;
    }
    uint64_t serial = 0;
    if (signing && !NextSerial(serverRoot, version, *signing, &serial, error)) {
        return false;
    }
    platform::CreateDir(serverRoot.c_str());
    platform::FileAttributes root = platform::GetAttributes(serverRoot.c_str());
    if (!root.exists || !root.directory) {
        *error = "the server root " + Printable(serverRoot) + " is no folder and cannot be made";
        return false;
    }
    unsigned long number = NextTreeNumber(serverRoot, version);
    std::string treeName = TreeName(version, number);
    std::string tree = JoinPath(serverRoot, treeName);
    if (!platform::CreateDir(tree.c_str())) {
        *error = "cannot create the folder " + Printable(tree) + " (error " +
                 std::to_string(platform::LastFileError()) + ")";
        return false;
    }
    if (!BuildVersionTree(files, tree, error) ||
        (signing && !SignListArchive(tree, version, *signing, serial, error))) {
        RemoveFolder(tree);
        return false;
    }
    if (observer) {
        observer->BeforeSwitch(tree);
    }
    std::string previous;
    if (!SwitchVersion(serverRoot, version, treeName, TreeName(version, number + 1), &previous,
                       error)) {
        RemoveFolder(tree);
        return false;
    }
    result->versionPath = JoinPath(serverRoot, version);
    result->fileCount = files.size();
    result->serial.reset();
    if (signing) {
        result->serial = serial;
    }
    result->warnings.clear();
    RemoveOtherTrees(serverRoot, version, {treeName, previous}, &result->warnings);
    return true;
}

}  // namespace publish
