// The processes that run and the modules they hold. Windows: PSAPI (the NT
// family) and ToolHelp (the 9x family), both looked up by name at run time so
// that the program loads where either is missing. POSIX: the process list of
// /proc, its paths in the engine's Windows form; there are no module handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/module_handle.h"

namespace platform {

// True on the NT family (GetVersionExA's platform id); POSIX counts as NT.
bool IsNtFamily();

uint32_t CurrentProcessId();

// Receives one process: its id and the NUL-terminated full path of its
// executable (shorter than kMaxPath), empty when it cannot be read.
using ProcessVisitor = std::function<void(uint32_t id, const char* path)>;

// At most `limit` processes, in the order the system lists them. Psapi:
// EnumProcesses, then each process opened for its first module's file name.
// Toolhelp: a process snapshot (its path is a full path on the 9x family, the
// file name alone on NT). POSIX: both read /proc, passing over processes
// without an executable (kernel threads, processes that ended meanwhile).
void ListProcessesWithPsapi(size_t limit, const ProcessVisitor& visit);
void ListProcessesWithToolhelp(size_t limit, const ProcessVisitor& visit);

// Fills `table` with up to `capacity` module handles of the process; returns
// how many. POSIX: none.
size_t ListModulesWithPsapi(uint32_t processId, ModuleHandle* table, size_t capacity);
size_t ListModulesWithToolhelp(uint32_t processId, ModuleHandle* table, size_t capacity);

// The module's full file name into `buffer` (`size` bytes), empty when it
// cannot be read. Psapi: a module of any process opened for reading; Own: a
// module of the calling process.
void ModuleFileNameWithPsapi(ProcessHandle process, ModuleHandle module, char* buffer, size_t size);
void ModuleFileNameOfOwn(ModuleHandle module, char* buffer, size_t size);

}  // namespace platform
