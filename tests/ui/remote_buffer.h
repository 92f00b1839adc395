// Memory in another process, for messages whose structures and text buffers
// must lie where the receiving window can use them (list view, header), and
// for threads the driver starts there. The handle may also start threads.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

class RemoteBuffer {
public:
    RemoteBuffer(DWORD pid, size_t size)
        : m_process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                    PROCESS_QUERY_INFORMATION | PROCESS_CREATE_THREAD,
                                FALSE, pid)),
          m_size(size) {
        if (m_process) {
            m_address =
                VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        }
    }
    ~RemoteBuffer() {
        if (m_address) {
            VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        }
        if (m_process) {
            CloseHandle(m_process);
        }
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    HANDLE Process() const { return m_process; }
    // The address in the other process; 0 when nothing could be reserved.
    uintptr_t Address() const { return reinterpret_cast<uintptr_t>(m_address); }
    size_t Size() const { return m_address ? m_size : 0; }

    // Copies `size` bytes to / from `offset`; false outside the buffer.
    bool Write(size_t offset, const void* data, size_t size) {
        SIZE_T done = 0;
        return Fits(offset, size) &&
               WriteProcessMemory(m_process, static_cast<char*>(m_address) + offset, data, size,
                                  &done) &&
               done == size;
    }
    bool Read(size_t offset, void* data, size_t size) {
        SIZE_T done = 0;
        return Fits(offset, size) &&
               ReadProcessMemory(m_process, static_cast<char*>(m_address) + offset, data, size,
                                 &done) &&
               done == size;
    }

private:
    bool Fits(size_t offset, size_t size) const {
        return m_address && offset <= m_size && size <= m_size - offset;
    }

    HANDLE m_process;
    void* m_address = nullptr;
    size_t m_size;
};
