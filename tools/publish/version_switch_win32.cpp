#include "tools/publish/version_switch.h"

#include "platform/fs.h"
#include "tools/publish/name_rules.h"
#include "tools/publish/publish_paths.h"

namespace publish {

bool SwitchVersion(const std::string& serverRoot, const std::string& version,
                   const std::string& treeName, const std::string& spareName, std::string* previous,
                   std::string* error) {
    // Nothing can still be looking up a file in a renamed folder: it goes now.
    previous->clear();
    std::string target = JoinPath(serverRoot, version);
    std::string tree = JoinPath(serverRoot, treeName);
    std::string spare = JoinPath(serverRoot, spareName);
    platform::FileAttributes attrs = platform::GetAttributes(target.c_str());
    if (attrs.exists && !attrs.directory) {
        *error = Printable(target) + " is not a folder; move it away first";
        return false;
    }
    if (attrs.exists && !platform::MoveReplace(target.c_str(), spare.c_str())) {
        *error = "cannot move " + Printable(target) + " away (error " +
                 std::to_string(platform::LastFileError()) +
                 "); is a file in it open? The old version stays served";
        return false;
    }
    if (!platform::MoveReplace(tree.c_str(), target.c_str())) {
        unsigned long code = platform::LastFileError();
        if (attrs.exists) {
            platform::MoveReplace(spare.c_str(), target.c_str());
        }
        *error = "cannot move the new tree to " + Printable(target) + " (error " +
                 std::to_string(code) + ")";
        return false;
    }
    return true;
}

}  // namespace publish
