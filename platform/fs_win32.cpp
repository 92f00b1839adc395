#include "platform/fs.h"

#include "platform/win32_handles.h"

namespace platform {

std::string NativePath(const char* path) { return path ? path : ""; }

FileAttributes GetAttributes(const char* path) {
    FileAttributes attrs;
    DWORD value = GetFileAttributesA(path);
    if (value == INVALID_FILE_ATTRIBUTES) {
        return attrs;
    }
    attrs.exists = true;
    attrs.directory = (value & FILE_ATTRIBUTE_DIRECTORY) != 0;
    attrs.readOnly = (value & FILE_ATTRIBUTE_READONLY) != 0;
    return attrs;
}

bool CreateDir(const char* path) { return CreateDirectoryA(path, nullptr) != FALSE; }
bool RemoveDir(const char* path) { return RemoveDirectoryA(path) != FALSE; }
bool RemoveFile(const char* path) { return DeleteFileA(path) != FALSE; }
bool CopyFileOver(const char* from, const char* to) { return CopyFileA(from, to, FALSE) != FALSE; }

bool MoveReplace(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool SetDosAttributes(const char* path, uint32_t attributes) {
    return SetFileAttributesA(path, attributes) != FALSE;
}

bool GetFullPath(const char* path, char* out, size_t outSize) {
    if (!path || !*path || !out || outSize == 0 || outSize > MAXDWORD) {
        return false;
    }
    DWORD n = GetFullPathNameA(path, static_cast<DWORD>(outSize), out, nullptr);
    return n > 0 && n < outSize;
}

FILE* OpenStdio(const char* path, const char* mode) { return fopen(path, mode); }

bool ListDir(const char* path, std::vector<DirEntry>* entries) {
    entries->clear();
    std::string pattern = std::string(path) + "\\*";
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        if (strcmp(data.cFileName, ".") == 0 || strcmp(data.cFileName, "..") == 0) {
            continue;
        }
        entries->push_back(
            {data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(find.get(), &data));
    return true;
}

bool SetFileTimeFromDos(const char* path, uint32_t dosDateTime) {
    UniqueFileHandle file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    FILETIME created, accessed, written, local, utc;
    return GetFileTime(file.get(), &created, &accessed, &written) &&
           DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                                 static_cast<WORD>(dosDateTime & 0xFFFF), &local) &&
           LocalFileTimeToFileTime(&local, &utc) && SetFileTime(file.get(), &utc, &accessed, &utc);
}

uint32_t GetFileDosTime(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    WORD date = 0, time = 0;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time)) {
        return 0;
    }
    return (static_cast<uint32_t>(date) << 16) | time;
}

unsigned long LastFileError() { return GetLastError(); }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        other.m_handle = kInvalid;
    }
    return *this;
}

bool File::Open(const char* path, Mode mode) {
    Close();
    HANDLE h = mode == Mode::CreateAlways
                   ? CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)
                   : CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(h);
    return true;
}

long File::Read(void* buffer, size_t size) {
    DWORD got = 0;
    DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!ReadFile(reinterpret_cast<HANDLE>(m_handle), buffer, want, &got, nullptr)) {
        return -1;
    }
    return static_cast<long>(got);
}

bool File::Write(const void* buffer, size_t size) {
    const char* p = static_cast<const char*>(buffer);
    while (size > 0) {
        DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(m_handle), p, chunk, &written, nullptr) ||
            written != chunk) {
            return false;
        }
        p += chunk;
        size -= chunk;
    }
    return true;
}

bool File::Close() {
    if (m_handle == kInvalid) {
        return false;
    }
    UniqueFileHandle handle(reinterpret_cast<HANDLE>(m_handle));
    m_handle = kInvalid;
    return CloseHandle(handle.release()) != FALSE;
}

}  // namespace platform
