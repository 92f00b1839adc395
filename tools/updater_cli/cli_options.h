// The console updater's command line. Every option overrides what the
// registry and "standalone.ini" say, as the wizard reads them.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CliOptions {
    std::optional<std::string> install;  // installation folder
    std::optional<std::string> version;  // version folder on the server
    std::optional<std::string> host;
    std::optional<int> port;
    std::optional<std::string> temp;          // temporary folder
    std::optional<int> mode;                  // UPDATE_MODE_CLIENT / UPDATE_MODE_SERVER
    std::optional<std::string> registryRoot;  // POSIX registry store
    bool answerOk = false;                    // answer to "close the suite": OK or Cancel
    int maxAsks = 3;                   // OK answers before a still-running suite counts as Cancel
    bool timings = false;              // per-stage times on stderr at the end
    std::optional<int> lowSpeedLimit;  // bytes a second a transfer must keep up
    std::optional<int> lowSpeedTime;   // seconds over which it is measured
    std::optional<int> pipelineDepth;  // requests sent ahead at most
    bool help = false;
    std::vector<std::string> trustedKeys;  // minisign public key files, beside the built-in ones
};

// False with `error` set for a command line that cannot be used.
bool ParseCliOptions(int argc, char** argv, CliOptions* options, std::string* error);

extern const char kCliUsage[];
