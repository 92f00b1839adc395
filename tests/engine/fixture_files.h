// Fixture folders made natively at build time, as the test program sees them.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace testfixture {

// `dir` (a Linux path); under Wine the Linux file system is drive Z:.
inline std::string Dir(std::string dir) {
#ifdef _WIN32
    if (!dir.empty() && dir[0] == '/') {
        dir = "Z:" + dir;
    }
#endif
    return dir;
}

// The whole file; empty when it cannot be read (the caller checks the size).
inline std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace testfixture
