// Switching a version folder to a new tree, so that the server serves either
// the whole old tree or the whole new one, never a mixture.
#pragma once

#include <string>

namespace publish {

// Makes `serverRoot`/`version` serve `serverRoot`/`treeName`. `spareName` is
// an unused tree name beside them, for the old folder on its way out; the
// caller removes the old trees afterwards, except `previous`: the tree served
// until now, when it should stay until the next publish (else empty). On
// failure the version folder still serves what it served before, and `error`
// says why.
//
// POSIX: the version folder is a symbolic link to the tree; a new link is made
// beside it and renamed over it, one atomic step. A plain folder in its place
// (from before the publisher managed it) is exchanged for the link atomically
// (Linux renameat2). The old tree is kept until the next publish: a request
// that followed the old link just before the switch may still be looking up
// its file in it.
// Windows: a folder cannot be replaced by a rename, so the old folder is
// renamed to `spareName` and the new tree to the version folder right after;
// between the two renames, a few microseconds, the version folder is missing
// and a request fails as for a file not found (clients retry by running the
// update again). If the second rename fails, the old folder is put back.
bool SwitchVersion(const std::string& serverRoot, const std::string& version,
                   const std::string& treeName, const std::string& spareName, std::string* previous,
                   std::string* error);

}  // namespace publish
