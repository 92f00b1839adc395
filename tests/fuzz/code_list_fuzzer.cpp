// The update list on arbitrary bytes: the file reader, CountLines and the
// in-memory split agree on the lines, and every entry keeps the format's
// promises (trimmed values without ">", a path that its split puts back
// together, numbers as strtoll reads them, clamped to 32 bits).
#include "engine/code_list.h"
#include "engine/line_reader.h"
#include "platform/codepage.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        abort();
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void CheckValue(const std::string& value, const std::string& line) {
    Check(value.size() <= line.size());
    Check(platform::FindChar(value, '>') == std::string::npos);
    if (!value.empty()) {
        Check(!IsBlank(value.front()));
    }
}

int32_t ReferenceNumber(const std::string& value) {
    long long n = std::strtoll(value.c_str(), nullptr, 10);
    if (n > INT32_MAX) {
        return INT32_MAX;
    }
    if (n < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(n);
}

void CheckEntry(const std::string& line) {
    UpdateItem item = ParseUpdateItem(line);
    CheckValue(item.path, line);
    CheckValue(item.checksum, line);
    CheckValue(item.sha256, line);
    Check(item.sha256 == GetTagValue(line, "SH"));
    Check(item.size == ReferenceNumber(GetTagValue(line, "SZ")));
    Check(item.zz == ReferenceNumber(GetTagValue(line, "ZZ")));

    size_t last = platform::FindLastChar(item.path, '\\');
    if (last == std::string::npos) {
        Check(item.folder.empty() && item.fileName == item.path);
    } else {
        Check(item.folder + "\\" + item.fileName == item.path);
        Check(platform::FindLastChar(item.fileName, '\\') == std::string::npos);
    }
}

// One scratch file for the whole run, for the reader that works on files.
const std::string& ScratchFile() {
    static const std::string path = [] {
        char name[] = "/tmp/code_list_fuzzer.XXXXXX";
        int fd = mkstemp(name);
        Check(fd >= 0);
        close(fd);
        return std::string(name);
    }();
    static const bool removedAtExit = std::atexit([] { std::remove(path.c_str()); }) == 0;
    (void)removedAtExit;
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> lines = SplitLines(text);

    // A fresh file each time: ext4 flushes a file truncated and rewritten to
    // disk on close, which would make every run wait for the disk.
    std::remove(ScratchFile().c_str());
    FILE* f = std::fopen(ScratchFile().c_str(), "wb");
    Check(f && std::fwrite(text.data(), 1, text.size(), f) == text.size());
    Check(std::fclose(f) == 0);
    CLineReader reader(ScratchFile().c_str());
    std::string line;
    size_t count = 0;
    while (reader.ReadLine(line)) {
        Check(count < lines.size() && line == lines[count]);
        ++count;
    }
    Check(count == lines.size());
    Check(CountLines(ScratchFile()) == static_cast<int>(count));

    for (std::string_view view : lines) {
        Check(view.find('\n') == std::string_view::npos);
        CheckEntry(std::string(view));
    }
    return 0;
}
