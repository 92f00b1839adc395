// Rules for one component of a path (the text between two separators) that
// the file system would read otherwise than it is written.
#pragma once

#include <string_view>

namespace platform {

// The component without the trailing dots and blanks that Windows drops when
// it opens a name.
std::string_view TrimTrailingDotsAndBlanks(std::string_view component);

// True for a component that names no child of its folder once trailing dots
// and blanks are trimmed: empty, ".", ".." (also written "..." or ".. ").
bool LeavesItsFolder(std::string_view component);

// True for a DOS device name (CON, NUL, COM1 ... with or without an
// extension), which Windows opens in every folder.
bool IsDeviceName(std::string_view component);

}  // namespace platform
