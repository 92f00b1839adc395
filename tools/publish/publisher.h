// Publishing a release: the version folder that the server serves is replaced
// by a tree made from the release folder, in one step.
#pragma once

#include "tools/publish/list_signer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace publish {

// Told between building the new tree and switching to it (tests look at the
// server root at that moment).
class PublishObserver {
public:
    virtual ~PublishObserver() = default;
    virtual void BeforeSwitch(const std::string& treePath) = 0;
};

struct PublishResult {
    std::string versionPath;  // serverRoot + version
    size_t fileCount = 0;
    std::vector<std::string> warnings;  // old trees that could not be removed
    std::optional<uint64_t> serial;     // of the signed list
};

// Builds the tree of `releaseDir` beside `serverRoot`/`version`, switches the
// version folder to it and removes the version's older trees (on POSIX all
// but the one served until now, which goes at the next publish). `serverRoot` is
// made when missing (one level). False with a message in `error` when a name
// is refused or anything cannot be read or written; the version folder then
// serves what it served before and the half-made tree is gone. With `signing`
// the tree's list archive is signed before the switch, with the serial given
// or one more than the one served until now (1 for the first signed list).
bool Publish(const std::string& releaseDir, const std::string& serverRoot,
             const std::string& version, PublishResult* result, std::string* error,
             PublishObserver* observer = nullptr, const ListSigning* signing = nullptr);

}  // namespace publish
