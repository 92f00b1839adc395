#include "engine/update_worker.h"

#include "engine/entry_path.h"
#include "engine/file_checksum.h"
#include "engine/file_install.h"
#include "engine/item_digest.h"
#include "engine/list_claims.h"
#include "engine/minisign.h"
#include "engine/update_planning.h"
#include "engine/update_texts.h"
#include "net/http_downloader.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/thread.h"
#include "sys/archive_entry.h"
#include "sys/office_closer.h"
#include "sys/unzipper.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string_view>

namespace {

constexpr char kListName[] = "codelist.txt";
constexpr char kSignatureSuffix[] = ".minisig";

// What an unpacked list may hold: a 100,000-entry list is about 10 MiB.
constexpr uint64_t kMaxListSize = 64ull << 20;
// An item's unpacked files: its listed size (and a little) when a signed list
// gives one, otherwise this.
constexpr uint64_t kMaxUnpackedItem = 1ull << 30;
constexpr uint64_t kUnpackSlack = 64 << 10;

// Every transfer has a bound: the list archive, its signature, and an item's
// archive its listed size and zip's overhead when a signed list gives one,
// this otherwise.
constexpr uint64_t kMaxListArchive = 32ull << 20;
constexpr uint64_t kMaxSignature = kMaxMinisignSignatureText;
constexpr uint64_t kMaxItemArchive = 1ull << 30;
constexpr uint64_t kArchiveOverhead = 64 << 10;

CHttpDownloader& DownloaderOf(const CUpdateRun& run) {
    return run.m_pDownloader ? *run.m_pDownloader : g_downloader;
}

// Reads a small file whole through a handle that refuses links; false when
// it cannot be read or holds more than `limit` bytes.
bool ReadSmallFile(const std::string& path, size_t limit, std::string* text) {
    platform::File file;
    if (!file.Open(path.c_str(), platform::File::Mode::ReadDenyWrite)) {
        return false;
    }
    text->clear();
    char block[4096];
    for (;;) {
        long got = file.Read(block, sizeof block);
        if (got < 0 || text->size() + static_cast<size_t>(got) > limit) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        text->append(block, static_cast<size_t>(got));
    }
}

// The serial of the list the installation last recorded, from its recorded
// signature; none before the first signed update.
std::optional<uint64_t> RecordedSerial(const CUpdateRun& run) {
    std::string text;
    MinisignSignature signature;
    ListClaims claims;
    std::string record = run.m_strInstallPath + "\\" + kListName + ".zip" + kSignatureSuffix;
    if (ReadSmallFile(record, kMaxMinisignSignatureText, &text) &&
        ParseMinisignSignature(text, &signature) &&
        ParseListClaims(signature.trustedComment, &claims)) {
        return claims.serial;
    }
    return std::nullopt;
}

// Fetches the list archive's signature and checks it, and what it claims,
// before anything of the archive is read.
ListCheck VerifyListArchive(CUpdateRun& run, const std::string& archive) {
    std::string local = archive + kSignatureSuffix;
    std::string server = run.m_strVersion + "/" + kListName + ".zip" + kSignatureSuffix;
    RemoveFileForced(local);
    DownloaderOf(run).SetBodyLimit(kMaxSignature);
    if (!DownloaderOf(run).DownloadFile(local.c_str(), server.c_str())) {
        return ListCheck::SignatureMissing;
    }
    std::string text;
    if (!ReadSmallFile(local, kMaxMinisignSignatureText, &text)) {
        return ListCheck::SignatureMalformed;
    }
    std::string comment;
    switch (VerifyMinisignSignatureOfFile(archive, text, run.m_trustedKeys, &comment)) {
        case SignatureStatus::Ok: break;
        case SignatureStatus::Malformed: return ListCheck::SignatureMalformed;
        case SignatureStatus::UnknownKey: return ListCheck::UnknownKey;
        case SignatureStatus::BadSignature:
        case SignatureStatus::BadGlobalSignature: return ListCheck::BadSignature;
        case SignatureStatus::Unreadable: return ListCheck::Missing;
    }
    ListClaims claims;
    if (!ParseListClaims(comment, &claims)) {
        return ListCheck::ClaimsMalformed;
    }
    switch (CheckListClaims(claims, run.m_strVersion, RecordedSerial(run),
                            static_cast<int64_t>(time(nullptr)))) {
        case ClaimsVerdict::Accepted: break;
        case ClaimsVerdict::WrongVersion: return ListCheck::WrongVersion;
        case ClaimsVerdict::Rollback: return ListCheck::Rollback;
        case ClaimsVerdict::Expired: return ListCheck::Expired;
    }
    run.m_strListSignature = text;
    run.m_bSignedList = true;
    return ListCheck::Verified;
}

// The bytes an item's archive may hold: a deflated file is at most a
// little larger than the file (stored blocks), plus the zip's headers.
uint64_t ArchiveLimitOf(const CUpdateRun& run, const UpdateItem& item) {
    if (!run.m_bSignedList || item.size <= 0) {
        return kMaxItemArchive;
    }
    uint64_t size = static_cast<uint64_t>(item.size);
    return size + size / 64 + kArchiveOverhead;
}

// The bytes an item's archive may unpack to.
uint64_t UnpackLimitOf(const CUpdateRun& run, const UpdateItem& item) {
    return run.m_bSignedList && item.size > 0 ? static_cast<uint64_t>(item.size) + kUnpackSlack
                                              : kMaxUnpackedItem;
}

// Unpacks an item's archive into `folder`, its file checked against the
// entry as it is written (no second read): true when the file arrived whole
// with the listed checksums.
bool UnpackItem(const CUpdateRun& run, const UpdateItem& item, const std::string& archive,
                const std::string& folder) {
    std::string name = EntryFileName(item.path);
    CItemDigest digest;
    bool seen = false;
    UnzipReport report;
    UnzipOptions options;
    options.report = &report;
    options.sizeLimit = UnpackLimitOf(run, item);
    options.sink = [&](const UnzipFileInfo& entry, const void* data, size_t size) {
        if (name == entry.szFileName) {
            seen = true;
            digest.Update(data, size);
        }
    };
    if (!UnzipArchive(archive.c_str(), folder.c_str(), false, options)) {
        return false;
    }
    for (const std::string& failed : report.failedEntries) {
        if (failed == name) {
            return false;
        }
    }
    // An empty file passes no data: it is there when nothing failed.
    return (seen || platform::GetAttributes((folder + "\\" + name).c_str()).exists) &&
           DigestMatchesItem(digest, item);
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

// The folders this run has made or checked, so that each is looked at once
// and not again for every file below it. Safe for the temporary folder
// because MakePrivateFolder made it the run's own at the start: no other
// user may change anything in it while the run lasts, so a level found a
// real folder stays one. For the installation the run only skips making
// folders it saw there; each file is still opened by a call that refuses a
// link in its place, and a folder gone meanwhile makes that file fail.
struct RunFolders {
    platform::CheckedFolders temp;
    platform::CheckedFolders install;
};

// Shows the text that ends the run. Download notifications still on their
// way are dropped from here on, so that this text is the last one.
void ShowClosingText(CUpdateRun& run, const char* text) {
    run.m_bDownloadsEnded = true;
    run.Display().SetStatusText(text);
}

// Downloads every planned item and, in client mode, unpacks and checks it;
// in server mode checks the archive. True when every item arrived whole.
bool DownloadItems(CUpdateRun& run, RunFolders& folders) {
    IUpdateDisplay& display = run.Display();
    int count = static_cast<int>(run.m_arrDownload.size());
    display.SetBarRange16(ProgressBar::Total, count);
    bool error = false;
    // What follows, so the client can ask ahead.
    std::vector<std::pair<std::string, std::string>> plan;
    for (const UpdateItem& item : run.m_arrDownload) {
        if (IsEntryUsable(run, item)) {
            plan.emplace_back(TempPathOf(run, item) + ".zip",
                              run.m_strVersion + item.path + ".zip");
        }
    }
    DownloaderOf(run).PlanDownloads(plan);
    for (run.m_nCurrent = 0; run.m_nCurrent < count; ++run.m_nCurrent) {
        int row = run.m_nCurrent;
        const UpdateItem& item = run.m_arrDownload[static_cast<size_t>(row)];
        display.ShowRow(row);
        if (!IsEntryUsable(run, item)) {
            // Never asked of the server, never written: the list is not to be trusted.
            display.SetRowStatus(row, kTextFailed);
            error = true;
            continue;
        }
        std::string serverPath = run.m_strVersion + item.path + ".zip";
        std::string localPath = TempPathOf(run, item) + ".zip";
        display.SetRowStatus(row, kTextConnecting);
        // Links found on the way are removed, never followed.
        DownloaderOf(run).SetBodyLimit(ArchiveLimitOf(run, item));
        if (!platform::MakeLinkFreeBelow(run.m_strTempDir, localPath, &folders.temp) ||
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
            if (platform::IsLinkFreeBelow(run.m_strTempDir, localPath, &folders.temp) &&
                UnpackItem(run, item, localPath, folder) &&
                platform::IsLinkFreeBelow(run.m_strTempDir, unpacked, &folders.temp)) {
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
bool InstallItems(CUpdateRun& run, RunFolders& folders) {
    IUpdateDisplay& display = run.Display();
    bool server = run.m_nUpdateMode == UPDATE_MODE_SERVER;
    std::string suffix = server ? ".zip" : "";
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
            StagedCheck check = [&item, server](const std::string& staged, CItemDigest& copied) {
                return server ? ArchiveMatchesItem(staged, item) : DigestMatchesItem(copied, item);
            };
            ok = IsEntryUsable(run, item) &&
                 platform::IsLinkFreeBelow(run.m_strTempDir, source, &folders.temp) &&
                 InstallFile(source, InstallPathOf(run, item) + suffix, check, &folders.install) &&
                 ok;
        }
        display.SetBarPos(ProgressBar::Current, k);
    }
    if (!ok) {
        return false;
    }
    std::string fromList = run.m_strTempDir + "\\" + kListName;
    std::string toList = run.m_strInstallPath + "\\" + kListName;
    if (server) {
        // The mirror serves the vendor's signed archive, checked once more as staged.
        StagedCheck signedArchive = [&run](const std::string& staged, CItemDigest&) {
            std::string comment;
            return !run.m_bSignedList ||
                   VerifyMinisignSignatureOfFile(staged, run.m_strListSignature, run.m_trustedKeys,
                                                 &comment) == SignatureStatus::Ok;
        };
        if (!InstallFile(fromList + ".zip", toList + ".zip", signedArchive)) {
            return false;
        }
    }
    if (run.m_bSignedList) {
        // The verified signature: the record the next run's rollback check
        // reads, and what a mirror's clients verify.
        StagedCheck same = [&run](const std::string& staged, CItemDigest&) {
            std::string text;
            return ReadSmallFile(staged, kMaxMinisignSignatureText, &text) &&
                   text == run.m_strListSignature;
        };
        if (!InstallFile(fromList + ".zip" + kSignatureSuffix, toList + ".zip" + kSignatureSuffix,
                         same)) {
            return false;
        }
    }
    // The record of what is installed comes last: it never claims files that
    // are not there, and it is the list this run planned with.
    StagedCheck planned = [&run](const std::string&, CItemDigest& copied) {
        return copied.FinalMd5() == run.m_strListMd5;
    };
    return InstallFile(fromList, toList, planned);
}

}  // namespace

bool FetchCodeList(CUpdateRun& run) {
    std::string local = run.m_strTempDir + "\\" + kListName + ".zip";
    std::string server = run.m_strVersion + "/" + kListName + ".zip";
    run.m_listCheck = ListCheck::Missing;
    DownloaderOf(run).SetBodyLimit(kMaxListArchive);
    if (!DownloaderOf(run).DownloadFile(local.c_str(), server.c_str())) {
        return false;
    }
    if (!run.m_trustedKeys.empty()) {
        // Nothing of an unsigned or wrongly signed list is read.
        run.m_listCheck = VerifyListArchive(run, local);
        if (run.m_listCheck != ListCheck::Verified) {
            return false;
        }
    }
    // A list left by an earlier run must not stand in for a missing one.
    std::string list = run.m_strTempDir + "\\" + kListName;
    RemoveFileForced(list);
    // What the planning reads is what will be recorded: its checksum is taken
    // as the list is unpacked from the archive that was fetched (and verified).
    UnzipReport report;
    CItemDigest digest;
    UnzipOptions options;
    options.report = &report;
    options.sizeLimit = kMaxListSize;
    options.sink = [&](const UnzipFileInfo& entry, const void* data, size_t size) {
        if (std::string_view(entry.szFileName) == kListName) {
            digest.Update(data, size);
        }
    };
    if (!UnzipArchive(local.c_str(), run.m_strTempDir.c_str(), false, options)) {
        return false;
    }
    // A list that did not unpack whole is damaged, not missing: nothing of it counts.
    for (const std::string& name : report.failedEntries) {
        if (name == kListName) {
            run.m_listCheck = ListCheck::Damaged;
            return false;
        }
    }
    run.m_strListMd5 = digest.FinalMd5();
    if (run.m_listCheck == ListCheck::Missing) {
        run.m_listCheck = ListCheck::NotChecked;
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
    bool privateFolder = platform::MakePrivateFolder(run.m_strTempDir.c_str());
    if (!privateFolder || !FetchCodeList(run)) {
        if (!privateFolder) {
            run.m_listCheck = ListCheck::NoPrivateFolder;
        }
        ShowClosingText(run, kTextListNotFound);
        return IsTrustFailure(run.m_listCheck) ? UpdateOutcome::ListNotTrusted
                                               : UpdateOutcome::ListNotFound;
    }
    if (!BuildDownloadList(run)) {
        ShowClosingText(run, kTextAlreadyNewest);
        display.SetWizardButtons(PSWIZB_NEXT_BUTTON);
        return UpdateOutcome::NothingToUpdate;
    }
    RunFolders folders;
    bool downloaded = DownloadItems(run, folders);
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
    if (!InstallItems(run, folders)) {
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
