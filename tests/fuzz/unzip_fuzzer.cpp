// Zip extraction of arbitrary bytes: whatever the archive holds, nothing is
// written outside the target folder.
//
// The target lies at the bottom of a chain of folders, deep enough that an
// entry name climbing out with "..\" (3 bytes a level) runs out of the
// 260-byte path limit before it passes the top of the chain: every level of
// the chain must still hold its one expected child after each run.
#include "sys/unzipper.h"

#include "engine/file_install.h"
#include "platform/fs.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr size_t kMaxPathLength = 259;      // bytes before the NUL
const std::string kLevelName = "levelxxx";  // 8 bytes: fewer levels to look at than 1-byte ones

struct Sandbox {
    std::vector<std::string> levels;  // the top folder first, the target's parent last
    std::string archive;
    std::string target;
};

const Sandbox& GetSandbox() {
    static const Sandbox sandbox = [] {
        Sandbox s;
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lks-unzip-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::string level = buffer.data();
        s.archive = level + "\\in.zip";
        // Depth d is enough when a name, after target + "\\", has fewer than
        // 3 * d bytes left.
        for (;;) {
            s.levels.push_back(level);
            size_t left = kMaxPathLength - std::min(kMaxPathLength, level.size() + 5);
            if (left < 3 * (s.levels.size() - 1)) {
                break;
            }
            level += "\\" + kLevelName;
            if (!platform::CreateDir(level.c_str())) {
                std::abort();
            }
        }
        s.target = level + "\\out";
        return s;
    }();
    return sandbox;
}

// Each level holds the next one (the top also the archive, the last the target).
void CheckNothingEscaped(const Sandbox& s) {
    for (size_t i = 0; i < s.levels.size(); ++i) {
        std::vector<platform::DirEntry> entries;
        platform::ListDir(s.levels[i].c_str(), &entries);
        for (const auto& e : entries) {
            bool expected = (i + 1 < s.levels.size() && e.name == kLevelName) ||
                            (i == 0 && e.name == "in.zip") ||
                            (i + 1 == s.levels.size() && e.name == "out");
            if (!expected) {
                std::fprintf(stderr, "written outside the target: %s/%s\n", s.levels[i].c_str(),
                             e.name.c_str());
                std::abort();
            }
        }
    }
}

void RemoveSandbox() { DeleteDirectory(GetSandbox().levels.front()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    GetSandbox();
    std::atexit(RemoveSandbox);  // after the sandbox exists, so before it is destroyed
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Sandbox& s = GetSandbox();
    FILE* f = platform::OpenStdio(s.archive.c_str(), "wb");
    if (!f) {
        std::abort();
    }
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    // The last byte picks the flag, so both ways of naming files get inputs.
    bool ignorePaths = size > 0 && (data[size - 1] & 1) != 0;
    UnzipArchive(s.archive.c_str(), s.target.c_str(), ignorePaths);

    CheckNothingEscaped(s);
    DeleteDirectory(s.target);
    return 0;
}
