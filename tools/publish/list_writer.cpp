#include "tools/publish/list_writer.h"

#include "platform/fs.h"
#include "tools/publish/name_rules.h"

namespace publish {

std::string FormatListLine(const ListEntry& entry) {
    // "ZZ" is carried by clients and acted on by none: always 0.
    std::string line =
        "<FN" + entry.path + "><MD" + entry.md5 + "><SZ" + std::to_string(entry.size) + "><ZZ0>";
    if (!entry.sha256.empty()) {
        line += "<SH" + entry.sha256 + ">";
    }
    return line + "\r\n";
}

bool WriteCodeList(const std::string& path, const std::vector<ListEntry>& entries,
                   std::string* error) {
    std::string text;
    for (const auto& entry : entries) {
        text += FormatListLine(entry);
    }
    platform::File file;
    if (!file.Open(path.c_str(), platform::File::Mode::CreateAlways)) {
        *error = "cannot create " + Printable(path) + " (error " +
                 std::to_string(platform::LastFileError()) + ")";
        return false;
    }
    bool ok = file.Write(text.data(), text.size());
    if (!file.Close() || !ok) {
        *error = "cannot write " + Printable(path) + " (error " +
                 std::to_string(platform::LastFileError()) + ")";
        return false;
    }
    return true;
}

}  // namespace publish
