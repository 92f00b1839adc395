// Path pieces for zip extraction, the work of the runtime's _splitpath and
// _makepath. Paths are narrow strings in the system code page; a separator is
// "\" or "/" standing as a character of its own, so the second byte of a
// double-byte character (0x5C in "乗") is never taken for one.
#pragma once

#include <cstddef>
#include <string_view>

namespace zippath {

// Position of the last separator, or npos.
size_t LastSeparator(std::string_view path);

// True when the last character is a separator.
bool EndsWithSeparator(std::string_view path);

// Base name and extension: what follows the last separator.
std::string_view FileNamePart(std::string_view path);

// The text after the last dot of the base name, without the dot; empty when
// the base name has no dot.
std::string_view Extension(std::string_view path);

// `path` without the extension of its base name and the dot before it.
std::string_view WithoutExtension(std::string_view path);

// `path` without trailing white space and then without trailing separators.
std::string_view TrimFolder(std::string_view path);

// Copies `text` into out[outSize] with its NUL; false (and `out` left empty)
// when it does not fit.
bool CopyPath(char* out, size_t outSize, std::string_view text);

// folder, then "\" unless the folder ends in a separator, then name, into
// out[outSize]; false (and `out` left empty) when it does not fit.
bool JoinPath(char* out, size_t outSize, std::string_view folder, std::string_view name);

// True when an entry name joined to a folder names something inside that
// folder: it is not absolute (no leading separator, which covers UNC
// prefixes), carries no ":" (drive letters, NTFS streams), no component that
// is empty, "." or ".." once Windows drops its trailing dots and blanks, and
// no DOS device name (CON, NUL, COM1...), which Windows opens wherever the
// folder is.
bool IsContainedEntryName(std::string_view name);

}  // namespace zippath
