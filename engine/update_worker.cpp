#include "engine/update_worker.h"

#include "engine/entry_path.h"
#include "engine/file_checksum.h"
#include "engine/file_install.h"
#include "engine/update_planning.h"
#include "engine/update_texts.h"
#include "net/http_downloader.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/thread.h"
#include "sys/office_closer.h"
#include "sys/unzipper.h"

#include <cctype>

namespace {

// A checksum the list gives in full: 32 hexadecimal digits.
bool IsWellFormedChecksum(const std::string& checksum) {
    if (checksum.size() != 32) {
        return false;
    }
    for (char c : checksum) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// An unpacked file matches its entry's checksum (either letter case), or the
// entry gives none to check against.
bool MatchesListedChecksum(const std::string& file, const std::string& checksum) {
    if (!IsWellFormedChecksum(checksum)) {
        return true;
    }
    try {
        return platform::UpperLatin(GetFileMD5(file)) == platform::UpperLatin(checksum);
    } catch (const CFileException&) {
        return false;
    }
}

std::string TempPathOf(const CUpdateRun& run, const UpdateItem& item) {
    return platform::ReplaceChar(run.m_strTempDir + item.path, '/', '\\');
}

// Downloads every planned item and, in client mode, unpacks and checks it.
// True when every item arrived whole.
bool DownloadItems(CUpdateRun& run) {
    IUpdateDisplay& display = run.Display();
    int count = static_cast<int>(run.m_arrDownload.size());
    display.SetBarRange16(ProgressBar::Total, count);
    bool error = false;
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
        std::string localPath =
            platform::ReplaceChar(run.m_strTempDir + item.path + ".zip", '/', '\\');
        display.SetRowStatus(row, kTextConnecting);
        if (!g_downloader.DownloadFile(localPath.c_str(), serverPath.c_str())) {
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
            if (UnzipArchive(localPath.c_str(), folder.c_str(), false) &&
                MatchesListedChecksum(unpacked, item.checksum)) {
                platform::RemoveFile(localPath.c_str());
                display.SetRowStatus(row, kTextDone);
                run.m_arrInstallable[codeIndex] = true;
            } else {
                RemoveFileForced(unpacked);
                display.SetRowStatus(row, kTextUnpackFailed);
                error = true;
            }
        } else {
            run.m_arrInstallable[codeIndex] = true;
        }
        display.SetBarPos(ProgressBar::Total, row);
    }
    return !error;
}

// Installs what this run may install, then the new list, last. True when
// every file is in place.
bool InstallItems(CUpdateRun& run) {
    IUpdateDisplay& display = run.Display();
    bool server = run.m_nUpdateMode == UPDATE_MODE_SERVER;
    int count = static_cast<int>(run.m_arrCodeList.size());
    display.SetBarRange32(ProgressBar::Current, count);
    display.SetStatusText(kTextCopying);
    bool ok = true;
    for (int k = 0; k < count; ++k) {
        size_t index = static_cast<size_t>(k);
        const UpdateItem& item = run.m_arrCodeList[index];
        // Only files fetched and checked for this list: a stale file of an
        // older run never overwrites a current one.
        if (run.m_arrInstallable[index] && IsSafeEntryPath(item.path)) {
            std::string suffix = server ? ".zip" : "";
            ok = InstallFile(run.m_strTempDir + "\\" + item.path + suffix,
                             run.m_strInstallPath + "\\" + item.path + suffix) &&
                 ok;
        }
        display.SetBarPos(ProgressBar::Current, k);
    }
    if (!ok) {
        return false;
    }
    if (server && !InstallFile(run.m_strTempDir + "\\codelist.txt.zip",
                               run.m_strInstallPath + "\\codelist.txt.zip")) {
        return false;
    }
    // The record of what is installed comes last: it never claims files that
    // are not there.
    return InstallFile(run.m_strTempDir + "\\codelist.txt",
                       run.m_strInstallPath + "\\codelist.txt");
}

}  // namespace

bool FetchCodeList(CUpdateRun& run) {
    std::string local = run.m_strTempDir + "\\codelist.txt.zip";
    std::string server = run.m_strVersion + "/codelist.txt.zip";
    if (!g_downloader.DownloadFile(local.c_str(), server.c_str())) {
        return false;
    }
    // A list left by an earlier run must not stand in for a missing one.
    RemoveFileForced(run.m_strTempDir + "\\codelist.txt");
    return UnzipArchive(local.c_str(), run.m_strTempDir.c_str(), false);
}

UpdateOutcome RunUpdate(CUpdateRun& run, const AskOkCancel& ask) {
    IUpdateDisplay& display = run.Display();
    platform::LowerCurrentThreadPriority();
    display.SetWizardButtons(PSWIZB_NONE);
    g_downloader.Init(run.m_strHost.c_str(), run.m_nPort, display.NotifyTarget());

    if (!FetchCodeList(run)) {
        display.SetStatusText(kTextListNotFound);
        return UpdateOutcome::ListNotFound;
    }
    if (!BuildDownloadList(run)) {
        display.SetStatusText(kTextAlreadyNewest);
        display.SetWizardButtons(PSWIZB_NEXT_BUTTON);
        return UpdateOutcome::NothingToUpdate;
    }
    if (!DownloadItems(run)) {
        display.SetStatusText(kTextErrors);
        return UpdateOutcome::DownloadErrors;
    }
    if (!EnsureOfficeClosed(run.m_strInstallPath, ask)) {
        display.SetStatusText(kTextCancelled);
        run.m_bUpdated = false;
        display.SetWizardButtons(PSWIZB_NEXT_BUTTON);
        return UpdateOutcome::Cancelled;
    }
    if (!InstallItems(run)) {
        // The temporary folder stays: the next run installs from it.
        display.SetStatusText(kTextErrors);
        return UpdateOutcome::InstallFailed;
    }
    display.FillBar(ProgressBar::Current);
    display.FillBar(ProgressBar::Total);
    DeleteDirectory(run.m_strTempDir);
    display.SetStatusText(kTextCompleted);
    run.m_bUpdated = true;
    display.SetWizardButtons(PSWIZB_NEXT_BUTTON);
    return UpdateOutcome::Completed;
}

unsigned UpdateThreadProc(void* param) {
    RunUpdate(*static_cast<CUpdateRun*>(param), AskWithMessageBox);
    return 0;
}
