#include "zip_test_support.h"

#include "platform/fs.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cstdlib>

namespace ziptest {

std::string Fixture(const std::string& name) {
    const char* binary = std::getenv("LKS_BINARY_DIR");
    std::string dir = std::string(binary ? binary : ".") + "/tests/sys/zip_fixtures";
#ifdef _WIN32
    // Wine's drive Z: is the Linux root.
    if (!dir.empty() && dir[0] == '/') {
        dir = "Z:" + dir;
    }
#endif
    std::replace(dir.begin(), dir.end(), '/', '\\');
    return dir + "\\" + name;
}

namespace {

void ListInto(const std::string& folder, const std::string& prefix, std::vector<std::string>* out) {
    std::vector<platform::DirEntry> entries;
    platform::ListDir(folder.c_str(), &entries);
    for (const auto& e : entries) {
        if (e.directory) {
            out->push_back(prefix + e.name + "\\");
            ListInto(folder + "\\" + e.name, prefix + e.name + "\\", out);
        } else {
            out->push_back(prefix + e.name);
        }
    }
}

}  // namespace

std::vector<std::string> ListTree(const std::string& folder) {
    std::vector<std::string> names;
    ListInto(folder, "", &names);
    std::sort(names.begin(), names.end());
    return names;
}

bool IgnoresReadOnly() {
    testsupport::TempDir dir;
    std::string probe = dir / "probe";
    testsupport::WriteFileBytes(probe, "x");
    platform::SetDosAttributes(probe.c_str(), platform::kAttrReadOnly);
    platform::File file;
    return file.Open(probe.c_str(), platform::File::Mode::CreateAlways);
}

bool StoresNonAsciiNames() {
    testsupport::TempDir dir;
    return platform::CreateDir((dir / "\xb1\xed").c_str());  // 表
}

}  // namespace ziptest
