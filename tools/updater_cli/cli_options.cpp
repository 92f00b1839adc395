#include "cli_options.h"

#include "app/update_settings.h"

#include <cstdlib>
#include <cstring>

const char kCliUsage[] =
    "usage: lksupdate-cli [options]\n"
    "Brings the Larkspan Office installation up to date from its update server,\n"
    "without the wizard. Settings come from the registry (Path, Version) and\n"
    "standalone.ini, as for lksupdate.exe; options override them:\n"
    "  --install DIR        installation folder\n"
    "  --version NAME       version folder on the server\n"
    "  --host HOST          update server (name or IPv4 address)\n"
    "  --port N             server port (default 80)\n"
    "  --temp DIR           temporary folder for fetched files\n"
    "  --mode client|server unpack and install, or mirror the archives\n"
    "  --registry-root DIR  folder of the registry store (Linux)\n"
    "  --answer ok|cancel   answer when the suite is running (default cancel)\n"
    "  --max-asks N         OK answers before a suite that keeps running counts\n"
    "                       as cancel (default 3)\n"
    "  --low-speed-limit N  a transfer slower than N bytes a second for the\n"
    "                       --low-speed-time fails (default 1024; 0: no floor)\n"
    "  --low-speed-time S   seconds of that measure (default 60)\n"
    "  --pipeline-depth N   requests sent ahead on a kept connection, at most\n"
    "                       (default 8; 0: one at a time)\n"
    "  --timings            at the end, the time of each stage on standard error\n"
    "                       (list, planning, connect, transfer, unpack+verify,\n"
    "                       close check, copy, cleanup), told by what the run shows\n"
    "  --trusted-key FILE   also trust this minisign public key (may be repeated)\n"
    "  --help               this text\n"
    "With a trusted key (built in, or given) the update list must carry a valid\n"
    "signature by one of them for its version folder, no older than the list last\n"
    "installed and not expired, and every entry must give its checksums. Without\n"
    "any key lists are taken unsigned, and an entry without a checksum is installed\n"
    "unchecked.\n"
    "Exit status:\n"
    "  0  updated, or nothing to update\n"
    "  2  bad usage\n"
    "  3  the update list could not be fetched\n"
    "  4  a file could not be downloaded, unpacked or verified\n"
    "  5  cancelled: the suite kept running\n"
    "  6  a file could not be installed (run again to finish)\n"
    "  7  another updater is running\n"
    "  8  no installation folder (registry Path missing)\n"
    "  9  the update list is not trusted (its signature or what it claims)\n";

namespace {

bool ParseInt(const char* text, int low, int high, int* out) {
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (!*text || *end || value < low || value > high) {
        return false;
    }
    *out = static_cast<int>(value);
    return true;
}

}  // namespace

bool ParseCliOptions(int argc, char** argv, CliOptions* o, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help") {
            o->help = true;
            continue;
        }
        if (arg == "--timings") {
            o->timings = true;
            continue;
        }
        if (i + 1 >= argc) {
            *error = "unknown option or missing value: " + arg;
            return false;
        }
        const char* value = argv[++i];
        int number = 0;
        if (arg == "--install") {
            o->install = value;
        } else if (arg == "--version") {
            o->version = value;
        } else if (arg == "--host") {
            o->host = value;
        } else if (arg == "--trusted-key") {
            o->trustedKeys.push_back(value);
        } else if (arg == "--temp") {
            o->temp = value;
        } else if (arg == "--registry-root") {
            o->registryRoot = value;
        } else if (arg == "--port" && ParseInt(value, 1, 65535, &number)) {
            o->port = number;
        } else if (arg == "--low-speed-limit" && ParseInt(value, 0, 0x7FFFFFFF, &number)) {
            o->lowSpeedLimit = number;
        } else if (arg == "--low-speed-time" && ParseInt(value, 1, 86400, &number)) {
            o->lowSpeedTime = number;
        } else if (arg == "--pipeline-depth" && ParseInt(value, 0, 64, &number)) {
            o->pipelineDepth = number;
        } else if (arg == "--max-asks" && ParseInt(value, 1, 1000, &number)) {
            o->maxAsks = number;
        } else if (arg == "--mode" &&
                   (strcmp(value, "client") == 0 || strcmp(value, "server") == 0)) {
            o->mode = strcmp(value, "server") == 0 ? UPDATE_MODE_SERVER : UPDATE_MODE_CLIENT;
        } else if (arg == "--answer" &&
                   (strcmp(value, "ok") == 0 || strcmp(value, "cancel") == 0)) {
            o->answerOk = strcmp(value, "ok") == 0;
        } else {
            *error = "bad option: " + arg + " " + value;
            return false;
        }
    }
    return true;
}
