// The folder that the server serves for one version: "codelist.txt",
// "codelist.txt.zip" and "<path>.zip" for every file of the release.
#pragma once

#include "tools/publish/release_walk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace publish {

// The time of the list's own archive entry when the release has no files:
// 1980-01-01 00:00:00, the first DOS time.
constexpr uint32_t kEarliestDosTime = 0x00210000;

// Writes the tree for `files` into the existing, empty folder `treeDir`. Each
// archive entry carries its file's last-write time and read-only state; the
// list's entry carries the latest of those times, so that the same release
// always gives the same bytes. False with a message in `error`, leaving
// whatever was written for the caller to remove.
bool BuildVersionTree(const std::vector<ReleaseFile>& files, const std::string& treeDir,
                      std::string* error);

}  // namespace publish
