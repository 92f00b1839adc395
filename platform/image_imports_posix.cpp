#include "platform/image_imports.h"

namespace platform {

// No module handles on POSIX: nothing imports, nothing loads.
void ForEachImportName(ModuleHandle, const ImportVisitor&) {}

ModuleHandle LoadModule(const char*) { return nullptr; }

}  // namespace platform
