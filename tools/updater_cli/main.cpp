// lksupdate-cli: the update without the wizard, for unattended updates and
// for Linux. It runs the same worker as lksupdate.exe with a console display.
#include "app/run_inputs.h"
#include "app/settings_reader.h"
#include "cli_options.h"
#include "console_display.h"
#include "engine/download_view.h"
#include "engine/minisign.h"
#include "engine/update_worker.h"
#include "net/http_downloader.h"
#include "platform/console_text.h"
#include "platform/fs.h"
#include "platform/instance_guard.h"
#include "platform/registry.h"
#include "platform/thread.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 2,
    kExitListNotFound = 3,
    kExitDownloadErrors = 4,
    kExitCancelled = 5,
    kExitInstallFailed = 6,
    kExitAlreadyRunning = 7,
    kExitNoInstallation = 8,
    kExitListNotTrusted = 9,
};

// The public keys of minisign key files; false, naming the file, when one is no key.
bool ReadTrustedKeys(const std::vector<std::string>& files, std::vector<MinisignPublicKey>* keys,
                     std::string* error) {
    for (const std::string& name : files) {
        std::string text;
        MinisignPublicKey key;
        FILE* file = fopen(name.c_str(), "rb");
        if (file) {
            char buffer[kMaxMinisignKeyText + 1];
            size_t got = fread(buffer, 1, sizeof buffer, file);
            fclose(file);
            text.assign(buffer, got);
        }
        if (!file || !ParseMinisignPublicKey(text, &key)) {
            *error = "not a minisign public key file: " + name;
            return false;
        }
        keys->push_back(key);
    }
    return true;
}

// Whether this process may make files in `folder`: tried with a probe file
// of the updater's own staging pattern, removed again.
bool MayWriteFolder(const std::string& folder) {
    std::string probe = folder + "\\~lksrights";
    platform::File file;
    if (!file.Open(probe.c_str(), platform::File::Mode::CreateNew)) {
        return platform::GetAttributes(probe.c_str()).exists;  // one left by an earlier try
    }
    file.Close();
    platform::RemoveFile(probe.c_str());
    return true;
}

int ExitCodeOf(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Completed:
        case UpdateOutcome::NothingToUpdate: return kExitOk;
        case UpdateOutcome::ListNotFound: return kExitListNotFound;
        case UpdateOutcome::ListNotTrusted: return kExitListNotTrusted;
        case UpdateOutcome::DownloadErrors: return kExitDownloadErrors;
        case UpdateOutcome::Cancelled: return kExitCancelled;
        case UpdateOutcome::InstallFailed: return kExitInstallFailed;
    }
    return kExitInstallFailed;
}

}  // namespace

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, &options, &error)) {
        fprintf(stderr, "lksupdate-cli: %s\n%s", error.c_str(), kCliUsage);
        return kExitUsage;
    }
    if (options.help) {
        fputs(kCliUsage, stdout);
        return kExitOk;
    }
    if (options.registryRoot) {
        platform::SetRegistryRoot(*options.registryRoot);
    }

    UpdateSettings settings;
    ReadSettings(settings);
    CConsoleDisplay display;
    CUpdateRun run(&display);
    bool haveInstallation = SettleRunInputs(settings, run);
    if (options.install) {
        run.m_strInstallPath = *options.install;
        haveInstallation = true;
    }
    if (!haveInstallation) {
        fprintf(stderr, "lksupdate-cli: the registry has no installation Path; give --install\n");
        return kExitNoInstallation;
    }
    if (options.version) run.m_strVersion = *options.version;
    if (options.host) run.m_strHost = *options.host;
    if (options.port) run.m_nPort = *options.port;
    if (options.temp) run.m_strTempDir = *options.temp;
    if (options.mode) run.m_nUpdateMode = *options.mode;
    if (!ReadTrustedKeys(options.trustedKeys, &run.m_trustedKeys, &error)) {
        fprintf(stderr, "lksupdate-cli: %s\n", error.c_str());
        return kExitUsage;
    }

#ifndef _WIN32
    SetUpdaterGuardPath(run.m_strTempDir + ".lock");
#endif
    if (!AcquireUpdaterGuard()) {
        fprintf(stderr, "lksupdate-cli: another updater is running\n");
        return kExitAlreadyRunning;
    }

    int asked = 0;
    AskOkCancel ask = [&](const char* text, const char* title) {
        ++asked;
        bool ok = options.answerOk && asked <= options.maxAsks;
        std::string shown = ToConsoleText(std::string(title) + ": " + text);
        printf("%s\n-> %s\n", shown.c_str(), ok ? "OK" : "Cancel");
        fflush(stdout);
        return ok;
    };

    if (options.lowSpeedLimit || options.lowSpeedTime) {
        g_downloader.SetLowSpeedLimit(
            static_cast<uint32_t>(options.lowSpeedLimit.value_or(kLowSpeedBytesPerSecond)),
            static_cast<uint32_t>(options.lowSpeedTime.value_or(kLowSpeedSeconds)));
    }
    if (options.pipelineDepth) {
        g_downloader.SetPipelineDepth(static_cast<size_t>(*options.pipelineDepth));
    }
    display.SetDownloader(&g_downloader);

    CStageTimes times;
    if (options.timings) {
        display.SetStageTimes(&times);
    }

    // The worker blocks in its downloads; this thread shows their notifications.
    std::atomic<bool> finished{false};
    UpdateOutcome outcome = UpdateOutcome::ListNotFound;
    std::thread worker([&] {
        outcome = RunUpdate(run, ask);
        finished = true;
    });
    const uint32_t kPollMs = 100;
    platform::Notification n;
    while (!finished) {
        if (display.notifications().Next(&n, kPollMs)) {
            display.ShowDownloadEvent(run, n.wParam, n.lParam);
        }
    }
    worker.join();
    if (options.timings) {
        display.SetStageTimes(nullptr);
        times.Print(stderr);
    }
    if (outcome == UpdateOutcome::ListNotTrusted || outcome == UpdateOutcome::ListNotFound) {
        fprintf(stderr, "lksupdate-cli: the update list was not used: %s\n",
                ListCheckName(run.m_listCheck));
    }
    if (outcome == UpdateOutcome::ListNotFound &&
        g_downloader.LastFailure() != DownloadFailure::None) {
        fprintf(stderr, "lksupdate-cli: the update list did not download (%s)\n",
                DownloadFailureName(g_downloader.LastFailure()));
    }
    if (outcome == UpdateOutcome::InstallFailed && !MayWriteFolder(run.m_strInstallPath)) {
        fprintf(stderr,
                "lksupdate-cli: no rights to write the installation folder %s: run the update "
                "as an administrator (root)\n",
                ToConsoleText(run.m_strInstallPath).c_str());
    }
    return ExitCodeOf(outcome);
}
