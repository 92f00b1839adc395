#include "platform/fs.h"

#include "platform/folder_rights_win32.h"
#include "platform/win32_handles.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <string>
#include <vector>

namespace platform {

std::string NativePath(const char* path) { return path ? path : ""; }

FileAttributes GetAttributes(const char* path) {
    FileAttributes attrs;
    // GetFileAttributesA describes a reparse point itself, never its target.
    DWORD value = GetFileAttributesA(path);
    if (value == INVALID_FILE_ATTRIBUTES) {
        return attrs;
    }
    attrs.exists = true;
    attrs.link = (value & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    attrs.directory = !attrs.link && (value & FILE_ATTRIBUTE_DIRECTORY) != 0;
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
    DWORD now = GetFileAttributesA(path);
    if (now == INVALID_FILE_ATTRIBUTES || (now & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
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
        bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries->push_back({data.cFileName,
                            !link && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                            link});
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

namespace {

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// Attributes and times through an open handle. Not GetFileInformationByHandle:
// that one also asks for the volume's serial number, which under Wine is a
// round trip to its mount manager process on every call.
bool QueryBasicInfo(HANDLE handle, FILE_BASIC_INFO* info) {
    return GetFileInformationByHandleEx(handle, FileBasicInfo, info, sizeof *info) != FALSE;
}

// Zero times and attributes in FILE_BASIC_INFO leave those as they are.
bool SetBasicInfo(intptr_t handle, FILE_BASIC_INFO info) {
    return handle != -1 &&
           SetFileInformationByHandle(AsHandle(handle), FileBasicInfo, &info, sizeof info);
}

HANDLE CreateNewForWriting(const char* path) {
    return CreateFileA(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0,
                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

// DeleteFileA removes a link itself and refuses a read-only file, as
// CREATE_ALWAYS would; the new file made after it is then never one with
// another name.
bool RemoveForReplacing(const char* path) {
    DWORD now = GetFileAttributesA(path);
    if (now == INVALID_FILE_ATTRIBUTES) {
        return true;  // gone since the name was found taken
    }
    return (now & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (now & FILE_ATTRIBUTE_DIRECTORY) != 0
               ? RemoveDirectoryA(path) != FALSE
               : DeleteFileA(path) != FALSE;
}

bool NameTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

LARGE_INTEGER AsLarge(int64_t value) {
    LARGE_INTEGER large;
    large.QuadPart = value;
    return large;
}

bool DosToUtc(uint32_t dosDateTime, int64_t* time) {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                               static_cast<WORD>(dosDateTime & 0xFFFF), &local) ||
        !LocalFileTimeToFileTime(&local, &utc)) {
        return false;
    }
    *time =
        static_cast<int64_t>((static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime);
    return true;
}

}  // namespace

bool File::Open(const char* path, Mode mode) {
    Close();
    HANDLE opened;
    if (mode == Mode::ReadDenyWrite) {
        opened = CreateFileA(
            path, GENERIC_READ | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT,
            nullptr);
    } else {
        opened = CreateNewForWriting(path);
        // What lies there goes only once the name is found taken: a new
        // name, the usual case, costs the one call.
        if (opened == INVALID_HANDLE_VALUE && mode == Mode::CreateAlways &&
            NameTaken(GetLastError())) {
            if (!RemoveForReplacing(path)) {
                return false;
            }
            opened = CreateNewForWriting(path);
        }
    }
    UniqueFileHandle file(opened);
    if (!file) {
        return false;
    }
    // A link opened as itself, or a folder, is no file to read or write.
    FILE_BASIC_INFO info;
    if (!QueryBasicInfo(file.get(), &info) ||
        (info.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(file.release());
    return true;
}

bool File::GetDosAttributes(uint32_t* attributes) const {
    int64_t time = 0;
    return GetDosAttributesAndWriteTime(attributes, &time);
}

bool File::SetDosAttributes(uint32_t attributes) {
    FILE_BASIC_INFO info = {};
    info.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetBasicInfo(m_handle, info);
}

bool File::SetTimeFromDos(uint32_t dosDateTime) {
    FILE_BASIC_INFO info = {};
    int64_t utc = 0;
    if (!DosToUtc(dosDateTime, &utc)) {
        return false;
    }
    info.CreationTime = info.LastWriteTime = AsLarge(utc);
    return SetBasicInfo(m_handle, info);
}

bool File::GetWriteTime(int64_t* time) const {
    uint32_t attributes = 0;
    return GetDosAttributesAndWriteTime(&attributes, time);
}

bool File::SetWriteTime(int64_t time) {
    FILE_BASIC_INFO info = {};
    info.LastWriteTime = AsLarge(time);
    return SetBasicInfo(m_handle, info);
}

bool File::GetDosAttributesAndWriteTime(uint32_t* attributes, int64_t* time) const {
    FILE_BASIC_INFO info;
    if (m_handle == kInvalid || !QueryBasicInfo(AsHandle(m_handle), &info)) {
        return false;
    }
    *attributes = info.FileAttributes;
    *time = info.LastWriteTime.QuadPart;
    return true;
}

bool File::SetWriteTimeAndDosAttributes(int64_t time, uint32_t attributes) {
    FILE_BASIC_INFO info = {};
    info.LastWriteTime = AsLarge(time);
    info.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetBasicInfo(m_handle, info);
}

bool File::SetDosTimeAndAttributes(uint32_t dosDateTime, uint32_t attributes) {
    FILE_BASIC_INFO info = {};
    int64_t utc = 0;
    if (!DosToUtc(dosDateTime, &utc)) {
        return false;
    }
    // One call: the time is set before the attributes, so a file made
    // read-only here still takes it.
    info.CreationTime = info.LastWriteTime = AsLarge(utc);
    info.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetBasicInfo(m_handle, info);
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

namespace platform {

namespace {

// The deepest folder RemoveTree walks into; a deeper one stays.
constexpr int kMaxTreeDepth = 256;

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Removes a link itself, never what it points to.
bool RemoveLink(const std::string& path, DWORD attributes) {
    return IsFolder(attributes) ? RemoveDirectoryA(path.c_str()) != FALSE
                                : DeleteFileA(path.c_str()) != FALSE;
}

bool RemoveEntry(const std::string& path, DWORD attributes, int depth);

bool RemoveFolderContents(const std::string& path, int depth) {
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(FindFirstFileA((path + "\\*").c_str(), &data));
    if (!find) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    bool ok = true;
    do {
        if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0) {
            ok = RemoveEntry(path + "\\" + data.cFileName, data.dwFileAttributes, depth) && ok;
        }
    } while (FindNextFileA(find.get(), &data));
    return ok;
}

bool RemoveEntry(const std::string& path, DWORD attributes, int depth) {
    if (IsLink(attributes)) {
        return RemoveLink(path, attributes);
    }
    if (!IsFolder(attributes)) {
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        return DeleteFileA(path.c_str()) != FALSE;
    }
    if (depth >= kMaxTreeDepth) {
        return false;
    }
    // Held without delete sharing while its content goes: it cannot be
    // renamed or replaced by a link meanwhile, so the walk stays inside it.
    UniqueFileHandle folder(CreateFileA(
        path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_BASIC_INFO info;
    if (!folder || !QueryBasicInfo(folder.get(), &info)) {
        return false;
    }
    if (IsLink(info.FileAttributes) || !IsFolder(info.FileAttributes)) {
        folder.reset();  // swapped since the look: removed as what it is now
        return RemoveLink(path, info.FileAttributes);
    }
    bool ok = RemoveFolderContents(path, depth + 1);
    if ((info.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        SetFileInformationByHandle(folder.get(), FileBasicInfo, &basic, sizeof basic);
    }
    // Let go only now; a link put in its place meanwhile is removed as a
    // link by RemoveDirectoryA, never followed.
    folder.reset();
    return RemoveDirectoryA(path.c_str()) != FALSE && ok;
}

// The running user's SID as text ("S-1-5-21-..."), empty when unknown.
std::string CurrentUserSid() {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return std::string();
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    char* text = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return std::string();
    }
    std::string sid = text;
    LocalFree(text);
    return sid;
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return IsWellKnownSid(sid, type) != FALSE; }

bool IsTrustee(PSID sid, PSID user) {
    return EqualSid(sid, user) || IsWellKnown(sid, WinBuiltinAdministratorsSid) ||
           IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinCreatorOwnerSid);
}

// Every right that changes a folder, its content or its rights.
constexpr DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                  FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

// The folder's rights as IsPrivateFolderDescriptor judges them.
bool HasPrivateRights(const char* path, PSID user) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = IsPrivateFolderDescriptor(descriptor, user);
    LocalFree(descriptor);
    return ok;
}

}  // namespace

bool IsPrivateFolderDescriptor(PSECURITY_DESCRIPTOR descriptor, PSID user) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        return false;
    }
    // A missing or null DACL lets everyone do everything.
    bool ok = owner && present && dacl &&
              (EqualSid(owner, user) || IsWellKnown(owner, WinBuiltinAdministratorsSid));
    for (DWORD i = 0; ok && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) {
            ok = false;
        } else if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            // Inherit-only entries count too: they are the rights of what is made inside.
            auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            PSID sid = &ace->SidStart;
            ok = IsTrustee(sid, user) || (ace->Mask & kChangingRights) == 0;
        } else if (header->AceType != ACCESS_DENIED_ACE_TYPE) {
            ok = false;  // object or callback entries: not what this program writes
        }
    }
    return ok;
}

std::string PrivateFolderSddl(const std::string& userSid) {
    return "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + userSid + ")";
}

bool RemoveTree(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return RemoveEntry(path, attributes, 0);
}

bool MakePrivateFolder(const char* path) {
    std::string userSid = CurrentUserSid();
    PSID user = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (userSid.empty() || !ConvertStringSidToSidA(userSid.c_str(), &user)) {
        return false;
    }
    bool described =
        ConvertStringSecurityDescriptorToSecurityDescriptorA(
            PrivateFolderSddl(userSid).c_str(), SDDL_REVISION_1, &descriptor, nullptr) != FALSE;
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    bool ready = false;
    // Another user may put something in the way again after each removal:
    // a bounded number of tries, then no folder.
    for (int attempt = 0; described && !ready && attempt < 4; ++attempt) {
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            DWORD error = GetLastError();
            if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) ||
                (!CreateDirectoryA(path, &security) && GetLastError() != ERROR_ALREADY_EXISTS)) {
                break;
            }
            continue;  // looked at again: it must be the one just made
        }
        if (!IsLink(attributes) && IsFolder(attributes) && HasPrivateRights(path, user) &&
            HoldsOnlyPlainEntries(path)) {
            ready = true;
            break;
        }
        // Not ours: moved aside so that what lay there is never used, then
        // removed without following anything in it.
        std::string aside = std::string(path) + ".untrusted." +
                            std::to_string(GetCurrentProcessId()) + "." + std::to_string(attempt);
        if (!MoveFileExA(path, aside.c_str(), 0) || !RemoveTree(aside.c_str())) {
            if (!RemoveTree(path)) {
                break;
            }
        }
    }
    LocalFree(descriptor);
    LocalFree(user);
    return ready;
}

}  // namespace platform
