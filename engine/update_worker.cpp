#include "engine/update_worker.h"

#include "engine/entry_path.h"
#include "engine/file_checksum.h"
#include "engine/file_install.h"
#include "engine/item_digest.h"
#include "engine/update_planning.h"
#include "engine/update_texts.h"
#include "net/http_downloader.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/thread.h"
#include "sys/archive_entry.h"
#include "sys/office_closer.h"
#include "sys/unzipper.h"

namespace {

constexpr char kListName[] = "codelist.txt";

// An unpacked file matches its entry's checksum (either letter case), or the
// entry gives none to check against.
bool MatchesListedChecksum(const std::string& file, const UpdateItem& item) {
    if (!HasFullChecksum(item)) {
        return true;
    }
    try {
        return platform::UpperLatin(GetFileMD5(file)) == platform::UpperLatin(item.checksum);
    } catch (const CFileException&) {
        return false;
    }
}

// A fetched archive holds the entry's file with the listed checksum.
bool ArchiveMatchesItem(const std::string& archive, const UpdateItem& item) {
    CItemDigest digest;
    bool whole = ReadArchiveEntry(
        archive.c_str(), EntryFileName(item.path),
        [&](const void* data, size_t size) {
            digest.Update(data, size);
            return true;
        },
        nullptr);
    return whole && DigestMatchesItem(digest, item);
}

std::string TempPathOf(const CUpdateRun& run, const UpdateItem& item) {
    return platform::ReplaceChar(run.m_strTempDir + item.path, '/', '\\');
}

std::string InstallPathOf(const CUpdateRun& run, const UpdateItem& item) {
    return platform::ReplaceChar(run.m_strInstallPath + item.path, '/', '\\');
}

CHttpDownloader& DownloaderOf(const CUpdateRun& run) {
    return run.m_pDownloader ? *run.m_pDownloader : g_downloader;
}

// Shows the text that ends the run. Download notifications still on their
// way are dropped from here on, so that this text is the last one.
void ShowClosingText(CUpdateRun& run, const char* text) {
    run.m_bDownloadsEnded = true;
    run.Display().SetStatusText(text);
}

// Downloads every planned item and, in client mode, unpacks and checks it;
// in server mode checks the archive. True when every item arrived whole.
bool DownloadItems(CUpdateRun& run) {
    IUpdateDisplay& display = run.Display();
    int count = static_cast<int>(run.m_arrDownload.size());
    display.SetBarRange16(ProgressBar::Total, count);
    bool error = false;
    // What follows, so the client can ask ahead.
    std::vector<std::pair<std::string, std::string>> plan;
    for (const UpdateItem& item : run.m_arrDownload) {
        if (IsSafeEntryPath(item.path)) {
            plan.emplace_back(TempPathOf(run, item) + ".zip",
                              run.m_strVersion + item.path + ".zip");
        }
    }
    DownloaderOf(run).PlanDownloads(plan);
    for (run.m_nCurrent = 0; run.m_nCurrent < count; ++run.m_nCurrent) {
        int row = run.m_nCurrent;
        const UpdateItem& item = run.m_arrDownload[static_cast<size_t>(row)];
        display.ShowRow(row);
        if (!IsSafeEntryPath(item.path)) {
            // Never asked of the server, never written: the list is not to be trusted.
            display.SetRowStatus(row, kTextFailed);
            error = true;
            continue;
        }
        std::string serverPath = run.m_strVersion + item.path + ".zip";
        std::string localPath = TempPathOf(run, item) + ".zip";
        display.SetRowStatus(row, kTextConnecting);
        // Links found on the way are removed, never followed.
        if (!platform::MakeLinkFreeBelow(run.m_strTempDir, localPath) ||
            !DownloaderOf(run).DownloadFile(localPath.c_str(), serverPath.c_str())) {
            display.SetRowStatus(row, kTextFailed);
            error = true;
            continue;
        }
        size_t codeIndex = run.m_arrCodeIndexOfDownload[static_cast<size_t>(row)];
        if (run.m_nUpdateMode == UPDATE_MODE_CLIENT) {
            std::string folder = localPath.substr(0, platform::FindLastChar(localPath, '\\'));
            std::string unpacked = TempPathOf(run, item);
            // A file left by an earlier run (perhaps read-only) must not block or
            // survive the new one.
            RemoveFileForced(unpacked);
            if (platform::IsLinkFreeBelow(run.m_strTempDir, localPath) &&
                UnzipArchive(localPath.c_str(), folder.c_str(), false) &&
                platform::IsLinkFreeBelow(run.m_strTempDir, unpacked) &&
                MatchesListedChecksum(unpacked, item)) {
                platform::RemoveFile(localPath.c_str());
                display.SetRowStatus(row, kTextDone);
                run.m_arrInstallable[codeIndex] = true;
            } else {
                RemoveFileForced(unpacked);
                display.SetRowStatus(row, kTextUnpackFailed);
                error = true;
            }
        } else if (ArchiveMatchesItem(localPath, item)) {
            run.m_arrInstallable[codeIndex] = true;
        } else {
            // Not what the list names: never mirrored, fetched again next time.
            RemoveFileForced(localPath);
            display.SetRowStatus(row, kTextFailed);
            error = true;
        }
        display.SetBarPos(ProgressBar::Total, row);
    }
    return !error;
}

// Installs every file this run planned to install, checked where it lands,
// then the new list, last. True only when every one of them is in place.
bool InstallItems(CUpdateRun& run) {
    IUpdateDisplay& display = run.Display();
    bool server = run.m_nUpdateMode == UPDATE_MODE_SERVER;
    std::string suffix = server ? ".zip" : "";
    StagedCheck check = server ? StagedCheck::Archive : StagedCheck::File;
    int count = static_cast<int>(run.m_arrCodeList.size());
    display.SetBarRange32(ProgressBar::Current, count);
    display.SetStatusText(kTextCopying);
    bool ok = true;
    for (int k = 0; k < count; ++k) {
        size_t index = static_cast<size_t>(k);
        const UpdateItem& item = run.m_arrCodeList[index];
        // Only files fetched and checked for this list: a stale file of an
        // older run never overwrites a current one. Each planned file must
        // arrive: one that cannot is an error, never skipped.
        if (run.m_arrInstallable[index]) {
            std::string source = TempPathOf(run, item) + suffix;
            ok = IsSafeEntryPath(item.path) &&
                 platform::IsLinkFreeBelow(run.m_strTempDir, source) &&
                 InstallFile(source, InstallPathOf(run, item) + suffix, check, &item) && ok;
        }
        display.SetBarPos(ProgressBar::Current, k);
    }
    if (!ok) {
        return false;
    }
    std::string fromList = run.m_strTempDir + "\\" + kListName;
    std::string toList = run.m_strInstallPath + "\\" + kListName;
    if (server && !InstallFile(fromList + ".zip", toList + ".zip")) {
        return false;
    }
    // The record of what is installed comes last: it never claims files that
    // are not there.
    return InstallFile(fromList, toList);
}

}  // namespace

bool FetchCodeList(CUpdateRun& run) {
    std::string local = run.m_strTempDir + "\\" + kListName + ".zip";
    std::string server = run.m_strVersion + "/" + kListName + ".zip";
    if (!DownloaderOf(run).DownloadFile(local.c_str(), server.c_str())) {
        return false;
    }
    // A list left by an earlier run must not stand in for a missing one.
    RemoveFileForced(run.m_strTempDir + "\\" + kListName);
    UnzipReport report;
    if (!UnzipArchive(local.c_str(), run.m_strTempDir.c_str(), false, &report)) {
        return false;
    }
    // A list that did not unpack whole is damaged, not missing: nothing of it counts.
    for (const std::string& name : report.failedEntries) {
        if (name == kListName) {
            return false;
        }
    }
    return true;
}

UpdateOutcome RunUpdate(CUpdateRun& run, const AskOkCancel& ask) {
    IUpdateDisplay& display = run.Display();
    platform::LowerCurrentThreadPriority();
    display.SetWizardButtons(PSWIZB_NONE);
    DownloaderOf(run).Init(run.m_strHost.c_str(), run.m_nPort, display.NotifyTarget());

    // Files fetched earlier count only from a folder no one else could change.
    platform::CreateParentFolders(run.m_strTempDir);
    if (!platform::MakePrivateFolder(run.m_strTempDir.c_str()) || !FetchCodeList(run)) {
        ShowClosingText(run, kTextListNotFound);
        return UpdateOutcome::ListNotFound;
    }
    if (!BuildDownloadList(run)) {
        ShowClosingText(run, kTextAlreadyNewest);
        display.SetWizardButtons(PSWIZB_NEXT_BUTTON);
        return UpdateOutcome::NothingToUpdate;
    }
    bool downloaded = DownloadItems(run);
    run.m_bDownloadsEnded = true;
    if (!downloaded) {
        ShowClosingText(run, kTextErrors);
        return UpdateOutcome::DownloadErrors;
    }
    if (!EnsureOfficeClosed(run.m_strInstallPath, ask)) {
        ShowClosingText(run, kTextCancelled);
        run.m_bUpdated = false;
        display.SetWizardButtons(PSWIZB_NEXT_BUTTON);
        return UpdateOutcome::Cancelled;
    }
    if (!InstallItems(run)) {
        // The temporary folder stays: the next run installs from it.
        ShowClosingText(run, kTextErrors);
        return UpdateOutcome::InstallFailed;
    }
    display.FillBar(ProgressBar::Current);
    display.FillBar(ProgressBar::Total);
    DeleteDirectory(run.m_strTempDir);
    ShowClosingText(run, kTextCompleted);
    run.m_bUpdated = true;
    display.SetWizardButtons(PSWIZB_NEXT_BUTTON);
    return UpdateOutcome::Completed;
}

unsigned UpdateThreadProc(void* param) {
    RunUpdate(*static_cast<CUpdateRun*>(param), AskWithMessageBox);
    return 0;
}
