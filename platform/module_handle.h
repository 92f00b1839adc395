// Module and process handles as the exported CProcess interface spells them,
// without <windows.h> in portable headers.
#pragma once

#ifdef _WIN32
struct HINSTANCE__;
#endif

namespace platform {

#ifdef _WIN32
using ModuleHandle = HINSTANCE__*;  // HINSTANCE, HMODULE
#else
using ModuleHandle = void*;
#endif
using ProcessHandle = void*;  // HANDLE

}  // namespace platform
