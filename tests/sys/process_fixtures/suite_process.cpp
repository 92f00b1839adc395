#include "suite_process.h"

#include "platform/codepage.h"
#include "platform/fs.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <atomic>

namespace processtest {

namespace {

// Every missing folder on the way to `path`'s own folder.
void MakeParentFolders(const std::string& path) {
    for (size_t slash = platform::FindChar(path, '\\', 1); slash != std::string::npos;
         slash = platform::FindChar(path, '\\', slash + 1)) {
        platform::CreateDir(path.substr(0, slash).c_str());
    }
}

#ifdef _WIN32
// The folder CMake built the stand-in into, as Wine sees it.
std::string FixtureProgram() {
    return "Z:" + platform::ReplaceChar(LKS_PROCESS_FIXTURE_DIR, '/', '\\') + "\\lksuite.exe";
}
#endif

}  // namespace

#ifdef _WIN32

std::string SuiteFileName() { return "lksuite.exe"; }

bool SuiteProcess::Start(const std::string& path) {
    Stop();
    MakeParentFolders(path);
    if (!platform::CopyFileOver(FixtureProgram().c_str(), path.c_str())) {
        return false;
    }
    static std::atomic<unsigned> counter{0};
    std::string eventName = "lks-suite-ready-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(counter++);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    if (!ready) {
        return false;
    }
    std::string commandLine =
        "\"" + path + "\" " + std::to_string(GetCurrentProcessId()) + " " + eventName;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info)) {
        CloseHandle(ready);
        return false;
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_id = info.dwProcessId;
    // Ready, or ended before it could say so.
    HANDLE waitFor[2] = {ready, info.hProcess};
    DWORD woken = WaitForMultipleObjects(2, waitFor, FALSE, 30000);
    CloseHandle(ready);
    if (woken != WAIT_OBJECT_0) {
        Stop();
        return false;
    }
    return true;
}

bool SuiteProcess::Stop() {
    if (!m_process) {
        return true;
    }
    TerminateProcess(m_process, 0);
    bool gone = WaitForSingleObject(m_process, 30000) == WAIT_OBJECT_0;
    CloseHandle(m_process);
    m_process = nullptr;
    m_id = 0;
    return gone;
}

#else

std::string SuiteFileName() { return "lksuite"; }

bool SuiteProcess::Start(const std::string& path) {
    Stop();
    MakeParentFolders(path);
    const char* sleepProgram = access("/bin/sleep", X_OK) == 0 ? "/bin/sleep" : "/usr/bin/sleep";
    if (!platform::CopyFileOver(sleepProgram, path.c_str())) {
        return false;
    }
    std::string native = platform::NativePath(path.c_str());
    // The pipe closes on a successful exec: from then on /proc shows the new program.
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return false;
    }
    pid_t parent = getpid();
    pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return false;
    }
    if (child == 0) {
        // Never outlive the test.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() == parent) {
            char name[] = "lksuite";
            char forever[] = "infinity";
            char* argv[] = {name, forever, nullptr};
            execv(native.c_str(), argv);
        }
        int error = errno;
        ssize_t ignored = write(pipeEnds[1], &error, sizeof(error));
        (void)ignored;
        _exit(127);
    }
    close(pipeEnds[1]);
    int error = 0;
    ssize_t got;
    do {
        got = read(pipeEnds[0], &error, sizeof(error));
    } while (got < 0 && errno == EINTR);
    close(pipeEnds[0]);
    m_id = static_cast<uint32_t>(child);
    if (got != 0) {
        Stop();
        return false;
    }
    return true;
}

bool SuiteProcess::Stop() {
    if (m_id == 0) {
        return true;
    }
    pid_t pid = static_cast<pid_t>(m_id);
    m_id = 0;
    kill(pid, SIGKILL);
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    return waited == pid;
}

#endif

}  // namespace processtest
