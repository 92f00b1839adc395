#include "app/self_copy.h"

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kBlockSize = 64 * 1024;

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool Rewind(HANDLE file) {
    LARGE_INTEGER start = {};
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != FALSE;
}

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

bool WriteAll(HANDLE file, const char* data, DWORD size) {
    DWORD done = 0;
    while (done < size) {
        DWORD wrote = 0;
        if (!WriteFile(file, data + done, size - done, &wrote, nullptr) || wrote == 0) {
            return false;
        }
        done += wrote;
    }
    return true;
}

bool AtEnd(HANDLE file) {
    char extra = 0;
    DWORD got = 0;
    return ReadFile(file, &extra, 1, &got, nullptr) && got == 0;
}

platform::UniqueFileHandle OpenSelf(const char* selfPath) {
    return platform::UniqueFileHandle(
        CreateFileA(selfPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Replaces the contents of `copy` with those of `self`, both from their start.
bool WriteCopy(HANDLE self, HANDLE copy) {
    if (!Rewind(self) || !Rewind(copy) || !SetEndOfFile(copy)) {
        return false;
    }
    std::vector<char> block(kBlockSize);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(self, block.data(), kBlockSize, &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            return FlushFileBuffers(copy) != FALSE;
        }
        if (!WriteAll(copy, block.data(), got)) {
            return false;
        }
    }
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

bool IsPlainFileWithOneName(HANDLE file, const char* path) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsLink(info.dwFileAttributes) ||
        info.nNumberOfLinks != 1) {
        return false;
    }
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !IsLink(attributes) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool HoldsTheBytesOf(HANDLE file, const char* selfPath) {
    platform::UniqueFileHandle self = OpenSelf(selfPath);
    LARGE_INTEGER selfSize = {};
    LARGE_INTEGER fileSize = {};
    if (!self || !Rewind(file) || !GetFileSizeEx(self.get(), &selfSize) ||
        !GetFileSizeEx(file, &fileSize) || selfSize.QuadPart != fileSize.QuadPart) {
        return false;
    }
    std::vector<char> mine(kBlockSize);
    std::vector<char> theirs(kBlockSize);
    for (LONGLONG left = selfSize.QuadPart; left > 0;) {
        DWORD size = left < kBlockSize ? static_cast<DWORD>(left) : kBlockSize;
        if (!ReadExactly(self.get(), mine.data(), size) ||
            !ReadExactly(file, theirs.data(), size) ||
            std::memcmp(mine.data(), theirs.data(), size) != 0) {
            return false;
        }
        left -= size;
    }
    return AtEnd(self.get()) && AtEnd(file);
}

SelfCopyResult StartSelfCopy(const char* selfPath, const char* folder, const char* copyPath,
                             platform::Elevation elevation, platform::ProgramStarter& starter) {
    platform::UniqueFileHandle heldFolder = HoldFolder(folder);
    if (!heldFolder) {
        return SelfCopyResult::kCheckFailed;
    }
    // Opened, not yet emptied: what lies there is looked at before anything
    // is written. A link is not followed. A running copy, or a file someone
    // holds open or that is not ours to write, cannot be opened so.
    platform::UniqueFileHandle writer(
        CreateFileA(copyPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!writer) {
        return SelfCopyResult::kCopyFailed;
    }
    BY_HANDLE_FILE_INFORMATION written = {};
    if (!IsPlainFileWithOneName(writer.get(), copyPath) ||
        !GetFileInformationByHandle(writer.get(), &written)) {
        return SelfCopyResult::kCheckFailed;
    }
    platform::UniqueFileHandle self = OpenSelf(selfPath);
    if (!self || !WriteCopy(self.get(), writer.get())) {
        return SelfCopyResult::kCopyFailed;
    }
    // The system maps no program that a handle may still write: the copy is
    // opened again for reading, sharing reading only, and checked through
    // that handle, which nobody can write past. It must still be the file
    // just written, and hold exactly the launcher's bytes.
    writer.reset();
    platform::UniqueFileHandle copy(
        CreateFileA(copyPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION reopened = {};
    if (!copy || !IsPlainFileWithOneName(copy.get(), copyPath) ||
        !GetFileInformationByHandle(copy.get(), &reopened) ||
        reopened.dwVolumeSerialNumber != written.dwVolumeSerialNumber ||
        reopened.nFileIndexHigh != written.nFileIndexHigh ||
        reopened.nFileIndexLow != written.nFileIndexLow || !HoldsTheBytesOf(copy.get(), selfPath)) {
        return SelfCopyResult::kCheckFailed;
    }
    // Both handles stay open until the process has started: the system has
    // then mapped the checked file, and nothing can write it any more.
    platform::UniqueKernelHandle process =
        starter.Start(platform::PlanProgramStart(elevation, copyPath));
    return process ? SelfCopyResult::kStarted : SelfCopyResult::kNotStarted;
}
