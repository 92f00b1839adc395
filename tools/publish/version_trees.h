// The trees kept beside a version folder. The server root holds, for version
// V, the folder V that clients request and the publisher's trees ".V.<n>":
// a new release is built as a fresh tree, then V is switched to it.
#pragma once

#include <string>
#include <vector>

namespace publish {

// ".V.<n>".
std::string TreeName(const std::string& version, unsigned long number);

// True when `name` is a tree name of `version`.
bool IsTreeName(const std::string& name, const std::string& version);

// One more than the highest <n> of the trees of `version` in `serverRoot` (1
// when there is none), so a new tree never meets an old one.
unsigned long NextTreeNumber(const std::string& serverRoot, const std::string& version);

// Removes every tree of `version` but those named in `keep`; what cannot be
// removed is told in `warnings` (a server on Windows may hold a file open).
void RemoveOtherTrees(const std::string& serverRoot, const std::string& version,
                      const std::vector<std::string>& keep, std::vector<std::string>* warnings);

// Removes the folder `path` and everything in it; links are removed, never
// followed. True when nothing is left.
bool RemoveFolder(const std::string& path);

}  // namespace publish
