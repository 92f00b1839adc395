#include "synthetic_image.h"

#ifdef _WIN32

#include <cstring>

namespace processtest {

namespace {

constexpr DWORD kHeadersAt = 0x80;

DWORD AlignUp(size_t value) { return static_cast<DWORD>((value + 15) & ~size_t{15}); }

}  // namespace

SyntheticImage::SyntheticImage(const std::vector<std::string>& imports) {
    DWORD descriptorsAt = AlignUp(kHeadersAt + sizeof(IMAGE_NT_HEADERS));
    DWORD namesAt = AlignUp(descriptorsAt + (imports.size() + 1) * sizeof(IMAGE_IMPORT_DESCRIPTOR));
    size_t size = namesAt;
    for (const std::string& name : imports) {
        size += name.size() + 1;
    }
    m_bytes.assign(AlignUp(size), 0);

    IMAGE_DOS_HEADER dos{};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = kHeadersAt;
    std::memcpy(&m_bytes[0], &dos, sizeof(dos));

    IMAGE_NT_HEADERS nt{};
    nt.Signature = IMAGE_NT_SIGNATURE;
    nt.OptionalHeader.Magic = IMAGE_NT_OPTIONAL_HDR_MAGIC;
    nt.OptionalHeader.SizeOfImage = static_cast<DWORD>(m_bytes.size());
    nt.OptionalHeader.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    if (!imports.empty()) {
        IMAGE_DATA_DIRECTORY& directory =
            nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        directory.VirtualAddress = descriptorsAt;
        directory.Size = static_cast<DWORD>((imports.size() + 1) * sizeof(IMAGE_IMPORT_DESCRIPTOR));
    }
    std::memcpy(&m_bytes[kHeadersAt], &nt, sizeof(nt));

    DWORD nameAt = namesAt;
    for (size_t i = 0; i < imports.size(); ++i) {
        IMAGE_IMPORT_DESCRIPTOR descriptor{};
        descriptor.Name = nameAt;
        std::memcpy(&m_bytes[descriptorsAt + i * sizeof(descriptor)], &descriptor,
                    sizeof(descriptor));
        std::memcpy(&m_bytes[nameAt], imports[i].c_str(), imports[i].size() + 1);
        nameAt += static_cast<DWORD>(imports[i].size() + 1);
    }
}

}  // namespace processtest

#endif
