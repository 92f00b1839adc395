// Putting files into the installation so that an interrupted run never leaves
// a truncated one and nothing unchecked arrives: each file is copied into a
// staging file beside its target, checked there, and renamed over it.
#pragma once

#include "engine/item_digest.h"
#include "platform/checked_folders.h"

#include <functional>
#include <string>

// Judges a staged file before it replaces its target: `staged` is its path,
// `copied` has seen exactly the bytes written into it.
using StagedCheck = std::function<bool(const std::string& staged, CItemDigest& copied)>;

// Copies `source` to `target` through a staging file in the target's folder
// (StagingPathFor), replacing the target in one rename; a read-only target is
// replaced all the same, and the new file keeps the source's read-only
// attribute and last-write time. The source is never read through a link.
// With a check, the staged file must pass it before the rename. The folders
// above the target are created first ("/" separates them as "\" does), and
// with `folders` those it holds are taken as there (CreateParentFolders).
// False, with the target untouched and no staging file left, when any step
// fails.
bool InstallFile(const std::string& source, const std::string& target,
                 const StagedCheck& check = StagedCheck(),
                 platform::CheckedFolders* folders = nullptr);

// The staging file of `target`: a short name of this program's own pattern
// in the same folder, derived from the target's name, never longer than the
// path buffers allow where the target fits. Empty when none fits.
std::string StagingPathFor(const std::string& target);

// Deletes a folder with everything in it, read-only files included, never
// following a link. True when the folder itself could be removed.
bool DeleteDirectory(const std::string& path);

// Removes a file (or a link, as a link) even when it is read-only; true when it is gone.
bool RemoveFileForced(const std::string& path);
