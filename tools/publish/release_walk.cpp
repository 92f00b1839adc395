#include "tools/publish/release_walk.h"

#include "platform/codepage.h"
#include "platform/fs.h"
#include "tools/publish/name_rules.h"
#include "tools/publish/publish_paths.h"

#include <algorithm>
#include <map>

namespace publish {

namespace {

class Walker {
public:
    Walker(std::vector<ReleaseFile>* files, std::string* error) : m_files(files), m_error(error) {
        // The list and its archive sit at the top of every version tree.
        m_serverNames[platform::UpperLatin("\\codelist.txt")] = "the update list";
        m_serverNames[platform::UpperLatin("\\codelist.txt.zip")] = "the zipped update list";
    }

    bool Walk(const std::string& dir, const std::string& listPrefix) {
        std::vector<platform::DirEntry> entries;
        if (!platform::ListDir(dir.c_str(), &entries)) {
            return Fail("cannot list the folder " + Printable(dir));
        }
        // Sorted, so that a refusal names the same entry on every system.
        std::sort(entries.begin(), entries.end(),
                  [](const platform::DirEntry& a, const platform::DirEntry& b) {
                      return a.name < b.name;
                  });
        for (const auto& entry : entries) {
            std::string listPath = listPrefix + "\\" + entry.name;
            std::string why = NameRefusal(entry.name);
            if (!why.empty()) {
                return Fail("the release name \"" + Printable(listPath) + "\" " + why);
            }
            // A folder's path must leave room for at least "\x" below it.
            size_t longest = entry.directory ? listPath.size() + 2 : listPath.size();
            if (longest > kMaxListPath) {
                return Fail("the release path \"" + Printable(listPath) + "\" is longer than the " +
                            std::to_string(kMaxListPath) + " bytes a client can store");
            }
            std::string serverName = entry.directory ? listPath : listPath + ".zip";
            if (!Claim(serverName, listPath)) {
                return false;
            }
            std::string source = JoinPath(dir, entry.name);
            if (entry.directory) {
                if (!Walk(source, listPath)) {
                    return false;
                }
            } else {
                m_files->push_back({listPath, source});
            }
        }
        return true;
    }

private:
    // Records that `listPath` occupies `serverName` in the version tree.
    bool Claim(const std::string& serverName, const std::string& listPath) {
        std::string owner = "the release name \"" + Printable(listPath) + "\"";
        auto inserted = m_serverNames.emplace(platform::UpperLatin(serverName), owner);
        if (!inserted.second) {
            return Fail(owner + " and " + inserted.first->second +
                        " would share the server file \"" + Printable(serverName) +
                        "\" (Windows ignores letter case)");
        }
        return true;
    }

    bool Fail(const std::string& message) {
        *m_error = message;
        return false;
    }

    std::vector<ReleaseFile>* m_files;
    std::string* m_error;
    std::map<std::string, std::string> m_serverNames;  // upper-cased tree name -> its owner
};

}  // namespace

bool WalkRelease(const std::string& releaseDir, std::vector<ReleaseFile>* files,
                 std::string* error) {
    files->clear();
    platform::FileAttributes attrs = platform::GetAttributes(releaseDir.c_str());
    if (!attrs.exists || !attrs.directory) {
        *error =
            "the release folder " + Printable(releaseDir) + " does not exist or is not a folder";
        return false;
    }
    Walker walker(files, error);
    if (!walker.Walk(releaseDir, std::string())) {
        files->clear();
        return false;
    }
    std::sort(files->begin(), files->end(),
              [](const ReleaseFile& a, const ReleaseFile& b) { return a.listPath < b.listPath; });
    return true;
}

}  // namespace publish
