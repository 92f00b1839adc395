// Paths of the publisher. The release folder and the server root are named as
// the operating system names them and joined with its own separator; update
// list paths always use "\".
#pragma once

#include "platform/fs.h"

#include <string>

namespace publish {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

inline std::string JoinPath(const std::string& dir, const std::string& name) {
    return dir + kSeparator + name;
}

// Where the list path `listPath` ("\a\b.dll") lies below `dir`. Only the list
// path is converted, so a folder name of the caller is never reinterpreted.
inline std::string PathBelow(const std::string& dir, const std::string& listPath) {
    return dir + platform::NativePath(listPath.c_str());
}

}  // namespace publish
