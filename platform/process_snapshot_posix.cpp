#include "platform/process_snapshot.h"

#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/posix_handles.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace platform {

namespace {

// The process id that a /proc entry's name stands for, 0 for other entries.
uint32_t ProcessIdOf(const char* name) {
    uint32_t id = 0;
    for (const char* p = name; *p; ++p) {
        if (*p < '0' || *p > '9' || id > (UINT32_MAX - 9) / 10) {
            return 0;
        }
        id = id * 10 + static_cast<uint32_t>(*p - '0');
    }
    return id;
}

// One process list serves both Windows interfaces.
void ListFromProc(size_t limit, const ProcessVisitor& visit) {
    UniqueDir proc(opendir("/proc"));
    if (!proc) {
        return;
    }
    size_t count = 0;
    while (count < limit) {
        const dirent* entry = readdir(proc.get());
        if (!entry) {
            break;
        }
        uint32_t id = ProcessIdOf(entry->d_name);
        if (id == 0) {
            continue;
        }
        std::string link = "/proc/" + std::to_string(id) + "/exe";
        char path[kMaxPath];
        ssize_t length = readlink(link.c_str(), path, sizeof(path));
        if (length < 0 && errno == ENOENT) {
            continue;  // a kernel thread, or a process that has ended
        }
        // Unreadable (another user's process) or too long to hold: an empty path.
        if (length < 0 || static_cast<size_t>(length) >= sizeof(path)) {
            length = 0;
        }
        path[length] = '\0';
        std::string windowsForm = ReplaceChar(path, '/', '\\');
        visit(id, windowsForm.c_str());
        ++count;
    }
}

}  // namespace

bool IsNtFamily() { return true; }

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

void ListProcessesWithPsapi(size_t limit, const ProcessVisitor& visit) {
    ListFromProc(limit, visit);
}

void ListProcessesWithToolhelp(size_t limit, const ProcessVisitor& visit) {
    ListFromProc(limit, visit);
}

size_t ListModulesWithPsapi(uint32_t, ModuleHandle*, size_t) { return 0; }

size_t ListModulesWithToolhelp(uint32_t, ModuleHandle*, size_t) { return 0; }

void ModuleFileNameWithPsapi(ProcessHandle, ModuleHandle, char* buffer, size_t size) {
    if (size > 0) {
        buffer[0] = '\0';
    }
}

void ModuleFileNameOfOwn(ModuleHandle, char* buffer, size_t size) {
    if (size > 0) {
        buffer[0] = '\0';
    }
}

}  // namespace platform
