// A stand-in for the running office suite: a small program copied to a chosen
// path and started from there, so that process snapshots list that path.
// Windows: the lksuite.exe of this folder. POSIX: a copy of sleep(1).
#pragma once

#include <cstdint>
#include <string>

namespace processtest {

// The stand-in's file name: "lksuite.exe" on Windows, "lksuite" elsewhere.
std::string SuiteFileName();

class SuiteProcess {
public:
    SuiteProcess() = default;
    ~SuiteProcess() { Stop(); }
    SuiteProcess(const SuiteProcess&) = delete;
    SuiteProcess& operator=(const SuiteProcess&) = delete;

    // Copies the stand-in to `path` (engine form; its folder is made if
    // missing) and starts it. True once the program runs from there.
    bool Start(const std::string& path);
    // Ends the program and waits until it is gone. True when it is.
    bool Stop();
    uint32_t Id() const { return m_id; }

private:
    uint32_t m_id = 0;
#ifdef _WIN32
    void* m_process = nullptr;
#endif
};

}  // namespace processtest
