#include "app/self_copy.h"

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kCompareBlockSize = 64 * 1024;

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// Reads exactly `size` bytes; false at an error or an early end.
bool ReadExactly(HANDLE file, char* buffer, DWORD size) {
    DWORD done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + done, size - done, &got, nullptr) || got == 0) {
            return false;
        }
        done += got;
    }
    return true;
}

bool SameBytes(HANDLE a, HANDLE b) {
    LARGE_INTEGER sizeA = {};
    LARGE_INTEGER sizeB = {};
    if (!GetFileSizeEx(a, &sizeA) || !GetFileSizeEx(b, &sizeB) ||
        sizeA.QuadPart != sizeB.QuadPart) {
        return false;
    }
    std::vector<char> blockA(kCompareBlockSize);
    std::vector<char> blockB(kCompareBlockSize);
    for (LONGLONG left = sizeA.QuadPart; left > 0;) {
        DWORD size = left < kCompareBlockSize ? static_cast<DWORD>(left) : kCompareBlockSize;
        if (!ReadExactly(a, blockA.data(), size) || !ReadExactly(b, blockB.data(), size) ||
            std::memcmp(blockA.data(), blockB.data(), size) != 0) {
            return false;
        }
        left -= size;
    }
    // Neither file may have grown meanwhile.
    char extra = 0;
    DWORD got = 0;
    return ReadFile(a, &extra, 1, &got, nullptr) && got == 0 &&
           ReadFile(b, &extra, 1, &got, nullptr) && got == 0;
}

}  // namespace

platform::UniqueFileHandle HoldFolder(const char* folder) {
    // A link is not followed by this open, so its own attributes are seen.
    // Creating files inside needs no share of the folder; renaming or
    // deleting it needs FILE_SHARE_DELETE, which is not given. The handle
    // lists the folder: one for attributes alone would take part in no
    // sharing check.
    platform::UniqueFileHandle handle(
        CreateFileA(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!handle || !GetFileInformationByHandle(handle.get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsLink(info.dwFileAttributes)) {
        return platform::UniqueFileHandle();
    }
    // The name's own attributes too: a system that opens a link's target
    // even so still reports the link on the name.
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || IsLink(attributes)) {
        return platform::UniqueFileHandle();
    }
    return handle;
}

platform::UniqueFileHandle HoldIdenticalCopy(const char* selfPath, const char* copyPath) {
    platform::UniqueFileHandle copy(
        CreateFileA(copyPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    // A second name for the file would be a way to it that this check does not see.
    if (!copy || !GetFileInformationByHandle(copy.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsLink(info.dwFileAttributes) ||
        info.nNumberOfLinks != 1) {
        return platform::UniqueFileHandle();
    }
    platform::UniqueFileHandle self(CreateFileA(selfPath, GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!self || !SameBytes(self.get(), copy.get())) {
        return platform::UniqueFileHandle();
    }
    return copy;
}

SelfCopyResult StartSelfCopy(const char* selfPath, const char* folder, const char* copyPath,
                             platform::Elevation elevation, platform::ProgramStarter& starter) {
    platform::UniqueFileHandle heldFolder = HoldFolder(folder);
    if (!heldFolder) {
        return SelfCopyResult::kCheckFailed;
    }
    // Whatever lies at the copy's place goes first, and the copy is made as
    // a new file: copying over it would write through a link, or into a file
    // that another name also reaches. A running copy cannot be removed.
    if (!DeleteFileA(copyPath) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return SelfCopyResult::kCopyFailed;
    }
    if (!CopyFileA(selfPath, copyPath, TRUE)) {
        return SelfCopyResult::kCopyFailed;
    }
    platform::UniqueFileHandle heldCopy = HoldIdenticalCopy(selfPath, copyPath);
    if (!heldCopy) {
        return SelfCopyResult::kCheckFailed;
    }
    // Both handles stay open until the process has started: the system has
    // then mapped the checked file, and nothing can write it any more.
    platform::UniqueKernelHandle process =
        starter.Start(platform::PlanProgramStart(elevation, copyPath));
    return process ? SelfCopyResult::kStarted : SelfCopyResult::kNotStarted;
}
