#include "platform/image_imports.h"

#include "platform/fs.h"
#include "platform/system_library.h"

#include <windows.h>

#include <cstring>

namespace platform {

namespace {

// The import directory's place in the image, 0 when it has none. Every
// offset is checked against the image's size before it is read.
DWORD ImportDirectory(const unsigned char* base, DWORD* imageSize) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < static_cast<LONG>(sizeof(*dos))) {
        return 0;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) {
        return 0;
    }
    *imageSize = nt->OptionalHeader.SizeOfImage;
    if (static_cast<DWORD>(dos->e_lfanew) + sizeof(*nt) > *imageSize) {
        return 0;
    }
    return nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
}

}  // namespace

void ForEachImportName(ModuleHandle module, const ImportVisitor& visit) {
    if (!module) {
        return;
    }
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    DWORD imageSize = 0;
    DWORD at = ImportDirectory(base, &imageSize);
    if (at == 0) {
        return;
    }
    // An array of descriptors that ends at the first without a name.
    for (; at <= imageSize && imageSize - at >= sizeof(IMAGE_IMPORT_DESCRIPTOR);
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + at);
        DWORD nameAt = descriptor->Name;
        if (nameAt == 0 || nameAt >= imageSize) {
            return;
        }
        size_t room = imageSize - nameAt;
        size_t length = strnlen(reinterpret_cast<const char*>(base + nameAt),
                                room < kMaxPath ? room : kMaxPath);
        if (length == room) {
            return;  // runs to the end of the image: not an image the loader made
        }
        if (length >= kMaxPath) {
            continue;
        }
        char name[kMaxPath];
        std::memcpy(name, base + nameAt, length + 1);
        CharLowerA(name);
        if (!visit(name)) {
            return;
        }
    }
}

ModuleHandle LoadModule(const char* name) {
    // A DLL that is loaded already is taken as it is, with a reference more as
    // LoadLibraryA would add; any other comes from the system folder only.
    HMODULE module = nullptr;
    if (GetModuleHandleExA(0, name, &module) && module) {
        return module;
    }
    return LoadSystemLibrary(name);
}

}  // namespace platform
