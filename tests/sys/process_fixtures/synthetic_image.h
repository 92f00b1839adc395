// A module image made in memory: the headers and import directory that the
// loader would have mapped, with any import names, including names no linker
// would write. Windows only.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>
#include <vector>

namespace processtest {

class SyntheticImage {
public:
    // The import descriptors name `imports` in order; with none, the image
    // has no import directory.
    explicit SyntheticImage(const std::vector<std::string>& imports);
    // The image's base address, as a module handle.
    HINSTANCE Module() { return reinterpret_cast<HINSTANCE>(m_bytes.data()); }

private:
    std::vector<unsigned char> m_bytes;
};

}  // namespace processtest

#endif
