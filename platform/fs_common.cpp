#include "platform/codepage.h"
#include "platform/fs.h"

namespace platform {

void CreateParentFolders(const std::string& path) {
    std::string text = path;
    std::vector<std::string> folders;
    while (text.size() > 3) {
        size_t cut = FindLastChar(text, '\\');
        text.resize(cut == std::string::npos ? 0 : cut);
        folders.push_back(text);
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        if (!it->empty()) {
            CreateDir(it->c_str());
        }
    }
}

}  // namespace platform
