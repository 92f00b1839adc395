// The DLLs that a loaded image imports, read from its import directory.
#pragma once

#include <functional>

#include "platform/module_handle.h"

namespace platform {

// Receives the name of one imported DLL, lower-cased (CharLowerA),
// NUL-terminated and shorter than kMaxPath. False stops the walk.
using ImportVisitor = std::function<bool(const char* name)>;

// The DLL names in the import directory of the image loaded at `module`, in
// the order of its descriptors. A name that does not fit kMaxPath is passed
// over: no DLL of that name could have been loaded. Nothing for a null module,
// an image without imports, or POSIX, which has no such images.
void ForEachImportName(ModuleHandle module, const ImportVisitor& visit);

// The module of that name with one reference more: the one loaded already,
// else the system folder's; the reference is kept. POSIX: null.
ModuleHandle LoadModule(const char* name);

}  // namespace platform
