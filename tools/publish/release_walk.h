// The files of a release folder as the update list will name them.
#pragma once

#include <string>
#include <vector>

namespace publish {

struct ReleaseFile {
    std::string listPath;    // "\program\a.dll": the list's path, "\" separators
    std::string sourcePath;  // the file in the release folder
};

// Every file below `releaseDir` (folders only by the files in them), sorted by
// list path byte for byte so that the output never depends on the order in
// which the system lists a folder. False with a message in `error` for the
// first name the list or a request cannot carry, for a path longer than a
// client can store, for names that would share one server file (letter case
// ignored, as on Windows), and when a folder cannot be read.
bool WalkRelease(const std::string& releaseDir, std::vector<ReleaseFile>* files,
                 std::string* error);

}  // namespace publish
