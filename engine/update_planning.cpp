#include "engine/update_planning.h"

#include "engine/code_list.h"
#include "engine/entry_path.h"
#include "engine/file_checksum.h"
#include "engine/item_digest.h"
#include "engine/line_reader.h"
#include "engine/update_texts.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "sys/archive_entry.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace {

// All five fields of an entry need under 500 bytes: a longer line is a
// line without fields, and is never held whole.
constexpr size_t kMaxListLine = 4096;

// The first `checksum.size()` bytes of the installed checksum equal the new
// one: plain equality for two full checksums, and an empty new checksum
// agrees with anything.
bool ChecksumsAgree(const std::string& installed, const std::string& fresh) {
    return installed.compare(0, fresh.size(), fresh) == 0;
}

}  // namespace

bool IsEntryUsable(const CUpdateRun& run, const UpdateItem& item) {
    return IsSafeEntryPath(item.path) &&
           (!run.m_bSignedList || (HasFullChecksum(item) && HasWellFormedSha256(item)));
}

bool IsFileFetched(UpdateItem item, CUpdateRun& run) {
    // Nothing outside the temporary folder is ever opened for a list entry.
    if (!IsEntryUsable(run, item)) {
        return false;
    }
    std::string path = platform::ReplaceChar(run.m_strTempDir + item.path, '/', '\\');
    std::string looked = run.m_nUpdateMode == UPDATE_MODE_SERVER ? path + ".zip" : path;
    if (!platform::IsLinkFreeBelow(run.m_strTempDir, looked)) {
        return false;
    }
    if (run.m_nUpdateMode == UPDATE_MODE_SERVER) {
        // A mirror keeps archives: only the item's archive, holding the file
        // with the listed checksum, counts. An unpacked file left by a client
        // run never stands in for one.
        CItemDigest digest;
        bool read = ReadArchiveEntry((path + ".zip").c_str(), EntryFileName(item.path),
                                     [&](const void* data, size_t size) {
                                         digest.Update(data, size);
                                         return true;
                                     },
                                     nullptr);
        return read && HasFullChecksum(item) && digest.FinalMd5() == item.checksum &&
               (item.sha256.empty() || digest.FinalSha256() == platform::UpperLatin(item.sha256));
    }
    {
        platform::File probe;
        if (!probe.Open(path.c_str(), platform::File::Mode::ReadDenyWrite)) {
            return false;
        }
    }
    std::string checksum;
    try {
        checksum = GetFileMD5(path);
    } catch (const CFileException&) {
        return false;  // vanished or locked since the probe: fetch it again
    }
    if (platform::UpperLatin(checksum) != item.checksum) {
        return false;
    }
    // A SHA-256 is checked where the file is installed; an unpacked file
    // left by an earlier run is not read twice for it here.
    return true;
}

bool BuildDownloadList(CUpdateRun& run) {
    {
        // Counted first: growing a vector of 100,000 items step by step cost
        // more than reading the list twice.
        std::string installedPath = run.m_strInstallPath + "\\codelist.txt";
        run.m_arrInstalled.reserve(run.m_arrInstalled.size() +
                                   static_cast<size_t>(CountLines(installedPath)));
        CLineReader installed(installedPath.c_str(), kMaxListLine);
        std::string line;
        while (installed.ReadLine(line)) {
            run.m_arrInstalled.push_back(ParseUpdateItem(line));
        }
    }
    // The first installed item of each path, found in constant time. The keys
    // view the paths of m_arrInstalled, which no longer changes.
    std::unordered_map<std::string_view, size_t> firstInstalled;
    firstInstalled.reserve(run.m_arrInstalled.size());
    for (size_t i = 0; i < run.m_arrInstalled.size(); ++i) {
        firstInstalled.emplace(run.m_arrInstalled[i].path, i);
    }

    std::string listPath = run.m_strTempDir + "\\codelist.txt";
    int lines = CountLines(listPath);
    CLineReader list(listPath.c_str(), kMaxListLine);
    if (!list.IsOpen()) {
        return false;
    }
    IUpdateDisplay& display = run.Display();
    display.SetStatusText(kTextChecking);
    display.SetBarRange16(ProgressBar::Current, lines);
    run.m_arrCodeList.reserve(run.m_arrCodeList.size() + static_cast<size_t>(lines));
    run.m_arrInstallable.reserve(run.m_arrInstallable.size() + static_cast<size_t>(lines));

    bool fetchedPending = false;
    std::string line;
    for (int i = 0; list.ReadLine(line); ++i) {
        display.SetBarPos(ProgressBar::Current, i);
        size_t index = run.m_arrCodeList.size();
        run.m_arrCodeList.push_back(ParseUpdateItem(line));
        run.m_arrInstallable.push_back(false);
        const UpdateItem& item = run.m_arrCodeList[index];  // valid until the next line's push_back
        if (item.path.empty()) {
            continue;  // a blank or heading line names no file: nothing to fetch or copy
        }
        auto found = firstInstalled.find(item.path);
        if (found != firstInstalled.end() &&
            ChecksumsAgree(run.m_arrInstalled[found->second].checksum, item.checksum)) {
            continue;
        }
        if (IsFileFetched(item, run)) {
            fetchedPending = true;
            run.m_arrInstallable[index] = true;
            continue;
        }
        display.AppendFileRow(item.fileName, item.size, kTextNeedsDownload);
        run.m_arrDownload.push_back(item);
        run.m_arrCodeIndexOfDownload.push_back(index);
    }
    return !run.m_arrDownload.empty() || fetchedPending;
}
