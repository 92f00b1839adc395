// lks-publish: turns a release folder into the version folder that an update
// server serves, and writes an nginx configuration for it.
//
//   lks-publish RELEASE-DIR SERVER-ROOT VERSION
//               [--nginx-conf FILE] [--nginx-rules FILE] [--listen ADDRESS]
//               [--secret-key FILE [--password-file FILE] [--serial N]
//                [--valid-days N]]
//   lks-publish --generate-key PUBLIC-FILE SECRET-FILE
//               [--no-password | --password-file FILE]
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
// --secret-key FILE signs "codelist.txt.zip" with a minisign secret key (made
// by --generate-key or by minisign -G) into "codelist.txt.zip.minisig", with
// the trusted comment "lksupdate version=VERSION serial=N", N one more than
// the served list's (1 for the first) unless --serial gives it, followed by
// " valid-until=<UTC time>" with --valid-days. The password of an encrypted
// key is the first line of --password-file, or of standard input when that
// is no terminal; it is never asked for on a terminal.
//
// Exit status: 0 published; 1 refused or failed (the old version folder stays
// served); 2 bad usage.
#include "platform/fs.h"
#include "tools/publish/key_files.h"
#include "tools/publish/list_signer.h"
#include "tools/publish/name_rules.h"
#include "tools/publish/nginx_config.h"
#include "tools/publish/publisher.h"
#include "tools/publish/secret_key.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

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
    std::string secretKey;
    std::string passwordFile;
    std::string serial;
    std::string validDays;
    std::string generatePublic;  // --generate-key
    std::string generateSecret;
    bool noPassword = false;
};

// A password is one line; longer ones are refused.
constexpr size_t kMaxPassword = 1024;

int Usage() {
    fprintf(stderr,
            "usage: lks-publish RELEASE-DIR SERVER-ROOT VERSION\n"
            "                   [--nginx-conf FILE] [--nginx-rules FILE] [--listen ADDRESS]\n"
            "                   [--secret-key FILE [--password-file FILE] [--serial N]\n"
            "                    [--valid-days N]]\n"
            "       lks-publish --generate-key PUBLIC-FILE SECRET-FILE\n"
            "                   [--no-password | --password-file FILE]\n");
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
        } else if (arg == "--secret-key") {
            value = &options->secretKey;
        } else if (arg == "--password-file") {
            value = &options->passwordFile;
        } else if (arg == "--serial") {
            value = &options->serial;
        } else if (arg == "--valid-days") {
            value = &options->validDays;
        } else if (arg == "--no-password") {
            options->noPassword = true;
            continue;
        } else if (arg == "--generate-key") {
            if (i + 2 >= argc || argv[i + 1][0] == '\0' || argv[i + 2][0] == '\0') {
                return false;
            }
            options->generatePublic = argv[++i];
            options->generateSecret = argv[++i];
            continue;
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
    if (!options->generatePublic.empty()) {
        // Making a key pair is all such a call does.
        return positional.empty() && options->secretKey.empty() && options->serial.empty() &&
               options->validDays.empty() &&
               !(options->noPassword && !options->passwordFile.empty());
    }
    if (positional.size() != 3 || options->noPassword ||
        (options->secretKey.empty() && (!options->passwordFile.empty() ||
                                        !options->serial.empty() || !options->validDays.empty()))) {
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

// A plain decimal from `min` to `max`.
bool ReadCount(const std::string& text, unsigned long long min, unsigned long long max,
               unsigned long long* value) {
    if (text.empty() || text.size() > 20 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    errno = 0;
    *value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0 && *value >= min && *value <= max;
}

// The password: the first line of --password-file, or of standard input
// when that is no terminal. False after a message.
bool ReadPassword(const Options& options, std::string* password) {
    std::string text;
    if (!options.passwordFile.empty()) {
        std::string error;
        if (!publish::ReadSmallFile(options.passwordFile, kMaxPassword, &text, &error)) {
            fprintf(stderr, "lks-publish: %s\n", error.c_str());
            return false;
        }
    } else if (isatty(fileno(stdin))) {
        fprintf(stderr,
                "lks-publish: the key needs a password: give --password-file FILE or pass it "
                "on standard input\n");
        return false;
    } else {
        int c;
        while ((c = getchar()) != EOF && c != '\n' && text.size() <= kMaxPassword) {
            text += static_cast<char>(c);
        }
        if (text.size() > kMaxPassword) {
            fprintf(stderr, "lks-publish: the password is longer than %lu bytes\n",
                    static_cast<unsigned long>(kMaxPassword));
            return false;
        }
    }
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    *password = text;
    return true;
}

int GenerateKeyPair(const Options& options) {
    std::string password;
    if (!options.noPassword) {
        if (!ReadPassword(options, &password)) {
            return kExitFailed;
        }
        if (password.empty()) {
            fprintf(stderr,
                    "lks-publish: the password is empty (--no-password makes a key "
                    "without one)\n");
            return kExitFailed;
        }
    }
    publish::SecretKey key;
    MinisignPublicKey publicKey;
    publish::GenerateKey(&key, &publicKey);
    std::string secretText = publish::FormatSecretKey(key, !options.noPassword, password);
    std::string error;
    if (secretText.empty()) {
        fprintf(stderr, "lks-publish: cannot encrypt the secret key (out of memory?)\n");
        return kExitFailed;
    }
    if (!publish::WriteNewFile(options.generateSecret, secretText, true, &error)) {
        fprintf(stderr, "lks-publish: %s\n", error.c_str());
        return kExitFailed;
    }
    if (!publish::WriteNewFile(options.generatePublic, FormatMinisignPublicKey(publicKey), false,
                               &error)) {
        fprintf(stderr, "lks-publish: %s\n", error.c_str());
        platform::RemoveFile(options.generateSecret.c_str());
        return kExitFailed;
    }
    printf("lks-publish: key %s made: public key %s, secret key %s\n",
           MinisignKeyIdHex(publicKey.keyId).c_str(),
           publish::Printable(options.generatePublic).c_str(),
           publish::Printable(options.generateSecret).c_str());
    return 0;
}

// Reads and, when it is encrypted, decrypts the key of --secret-key. False
// after a message.
bool LoadKey(const Options& options, publish::SecretKey* key) {
    std::string text, error;
    if (!publish::ReadSmallFile(options.secretKey, publish::kMaxSecretKeyText, &text, &error)) {
        fprintf(stderr, "lks-publish: %s\n", error.c_str());
        return false;
    }
    std::string password;
    if (publish::SecretKeyNeedsPassword(text) && !ReadPassword(options, &password)) {
        return false;
    }
    if (!publish::LoadSecretKey(text, password, key, &error)) {
        fprintf(stderr, "lks-publish: the secret key %s %s\n",
                publish::Printable(options.secretKey).c_str(), error.c_str());
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
    if (!options.generatePublic.empty()) {
        return GenerateKeyPair(options);
    }
    unsigned long long serial = 0, validDays = 0;
    if ((!options.serial.empty() && !ReadCount(options.serial, 1, UINT64_MAX, &serial)) ||
        (!options.validDays.empty() &&
         !ReadCount(options.validDays, 1, publish::kMaxValidDays, &validDays))) {
        fprintf(stderr, "lks-publish: --serial takes 1 or more, --valid-days 1 to %d\n",
                publish::kMaxValidDays);
        return kExitUsage;
    }
    std::string why = publish::NginxListenRefusal(options.listen);
    if (!options.nginxConf.empty() && !why.empty()) {
        fprintf(stderr, "lks-publish: the address \"%s\" %s\n",
                publish::Printable(options.listen).c_str(), why.c_str());
        return kExitUsage;
    }
    publish::SecretKey key;
    publish::ListSigning signing;
    if (!options.secretKey.empty()) {
        if (!LoadKey(options, &key)) {
            return kExitFailed;
        }
        signing.key = &key;
        if (!options.serial.empty()) {
            signing.serial = serial;
        }
        signing.validDays = static_cast<int>(validDays);
        signing.now = static_cast<int64_t>(std::time(nullptr));
    }
    publish::PublishResult result;
    std::string error;
    if (!publish::Publish(options.releaseDir, options.serverRoot, options.version, &result, &error,
                          nullptr, signing.key ? &signing : nullptr)) {
        fprintf(stderr, "lks-publish: %s\n", error.c_str());
        return kExitFailed;
    }
    for (const auto& warning : result.warnings) {
        fprintf(stderr, "lks-publish: warning: %s\n", warning.c_str());
    }
    printf("lks-publish: %lu files published as %s\n", static_cast<unsigned long>(result.fileCount),
           publish::Printable(result.versionPath).c_str());
    if (result.serial) {
        printf("lks-publish: list signed by key %s, serial %llu\n",
               MinisignKeyIdHex(key.keyId).c_str(),
               static_cast<unsigned long long>(*result.serial));
    }
    return WriteNginxFiles(options) ? 0 : kExitFailed;
}
