// lks-publish: turns a release folder into the version folder that an update
// server serves, and writes an nginx configuration for it.
//
//   lks-publish RELEASE-DIR SERVER-ROOT VERSION
//               [--nginx-conf FILE] [--nginx-rules FILE] [--listen ADDRESS]
//
// SERVER-ROOT/VERSION then holds "codelist.txt", "codelist.txt.zip" and
// "<path>.zip" for every file of the release. The new tree is built beside the
// old one as SERVER-ROOT/.VERSION.<n> and the version folder is switched to it
// in one step (POSIX: VERSION is a symbolic link, replaced by a rename;
// Windows: the old folder is renamed away and the new one into place). Old
// trees are removed afterwards; on POSIX the one served until the switch stays
// until the next publish, for requests that followed the old link just before.
// On Linux, release file names are taken as bytes of code page 936 (GBK), as
// clients send them.
//
// --nginx-conf FILE writes a whole nginx.conf serving SERVER-ROOT on ADDRESS
// (default 80); --nginx-rules FILE writes only the directives for a server
// block of one's own.
//
// Exit status: 0 published; 1 refused or failed (the old version folder stays
// served); 2 bad usage.
#include "platform/fs.h"
#include "tools/publish/name_rules.h"
#include "tools/publish/nginx_config.h"
#include "tools/publish/publisher.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Options {
    std::string releaseDir;
    std::string serverRoot;
    std::string version;
    std::string nginxConf;
    std::string nginxRules;
    std::string listen = "80";
};

int Usage() {
    fprintf(stderr,
            "usage: lks-publish RELEASE-DIR SERVER-ROOT VERSION\n"
            "                   [--nginx-conf FILE] [--nginx-rules FILE] [--listen ADDRESS]\n");
    return kExitUsage;
}

bool ParseOptions(int argc, char** argv, Options* options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string* value = nullptr;
        if (arg == "--nginx-conf") {
            value = &options->nginxConf;
        } else if (arg == "--nginx-rules") {
            value = &options->nginxRules;
        } else if (arg == "--listen") {
            value = &options->listen;
        } else if (arg.compare(0, 2, "--") == 0) {
            return false;
        } else {
            positional.push_back(arg);
            continue;
        }
        if (++i >= argc || argv[i][0] == '\0') {
            return false;
        }
        *value = argv[i];
    }
    if (positional.size() != 3) {
        return false;
    }
    options->releaseDir = positional[0];
    options->serverRoot = positional[1];
    options->version = positional[2];
    return true;
}

// Writes `text` beside `path`, then renames it over `path`.
bool WriteReplacing(const std::string& path, const std::string& text) {
    std::string temp = path + ".new";
    platform::File file;
    if (!file.Open(temp.c_str(), platform::File::Mode::CreateAlways)) {
        return false;
    }
    bool ok = file.Write(text.data(), text.size());
    if (!file.Close() || !ok || !platform::MoveReplace(temp.c_str(), path.c_str())) {
        platform::RemoveFile(temp.c_str());
        return false;
    }
    return true;
}

std::string FullPath(const std::string& path) {
    std::vector<char> buffer(4096);
    if (!platform::GetFullPath(path.c_str(), buffer.data(), buffer.size())) {
        return std::string();
    }
    return buffer.data();
}

// Writes the nginx files that `options` ask for; false after a message.
bool WriteNginxFiles(const Options& options) {
    if (!options.nginxRules.empty() &&
        !WriteReplacing(options.nginxRules, publish::NginxServerRules())) {
        fprintf(stderr, "lks-publish: cannot write %s\n",
                publish::Printable(options.nginxRules).c_str());
        return false;
    }
    if (options.nginxConf.empty()) {
        return true;
    }
    std::string root = FullPath(options.serverRoot);
    std::string why = publish::NginxRootRefusal(root);
    if (!why.empty()) {
        fprintf(stderr, "lks-publish: the server root %s %s\n", publish::Printable(root).c_str(),
                why.c_str());
        return false;
    }
    if (!WriteReplacing(options.nginxConf, publish::NginxConf(options.listen, root))) {
        fprintf(stderr, "lks-publish: cannot write %s\n",
                publish::Printable(options.nginxConf).c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        return Usage();
    }
    std::string why = publish::NginxListenRefusal(options.listen);
    if (!options.nginxConf.empty() && !why.empty()) {
        fprintf(stderr, "lks-publish: the address \"%s\" %s\n",
                publish::Printable(options.listen).c_str(), why.c_str());
        return kExitUsage;
    }
    publish::PublishResult result;
    std::string error;
    if (!publish::Publish(options.releaseDir, options.serverRoot, options.version, &result,
                          &error)) {
        fprintf(stderr, "lks-publish: %s\n", error.c_str());
        return kExitFailed;
    }
    for (const auto& warning : result.warnings) {
        fprintf(stderr, "lks-publish: warning: %s\n", warning.c_str());
    }
    printf("lks-publish: %lu files published as %s\n", static_cast<unsigned long>(result.fileCount),
           publish::Printable(result.versionPath).c_str());
    return WriteNginxFiles(options) ? 0 : kExitFailed;
}
