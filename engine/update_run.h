// The state of one update run: its inputs, the three item lists and the
// display the engine reports to. The wizard's progress page holds one; the
// console updater and the tests make their own.
#pragma once

#include "engine/list_check.h"
#include "engine/minisign.h"
#include "engine/update_display.h"
#include "engine/update_mode.h"
#include "engine/update_item.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

class CHttpDownloader;

class CUpdateRun {
public:
    explicit CUpdateRun(IUpdateDisplay* display) : m_pDisplay(display) {}

    std::vector<UpdateItem> m_arrInstalled;  // the installation's "codelist.txt"
    std::vector<UpdateItem> m_arrCodeList;   // every line of the new list
    std::vector<UpdateItem> m_arrDownload;   // to download; item k is row k of the file list
    int m_nCurrent = 0;                      // index in m_arrDownload being downloaded
    std::string m_strInstallPath;
    std::string m_strTempDir;
    std::string m_strVersion;
    std::string m_strHost;
    bool m_bUpdated = true;  // false only after the user cancelled
    int m_nPort = 80;        // the server's port (tests and the console updater change it)
    int m_nUpdateMode = UPDATE_MODE_CLIENT;

    // Which entries of m_arrCodeList this run may install: the planning adds
    // those it found fetched earlier, the worker those it fetched and checked.
    std::vector<size_t> m_arrCodeIndexOfDownload;  // m_arrCodeList index of m_arrDownload[k]
    std::vector<bool> m_arrInstallable;            // parallel to m_arrCodeList

    // The keys a list must be signed with; none: lists are taken unsigned.
    std::vector<MinisignPublicKey> m_trustedKeys;
    // Set once the new list's signature and claims were verified: then every
    // entry must carry its checksums, and the signature is recorded.
    bool m_bSignedList = false;
    std::string m_strListSignature;  // the verified signature file
    std::string m_strListMd5;        // of the list planned with, as recorded at the end
    ListCheck m_listCheck = ListCheck::NotChecked;  // why a list was not used

    // Set by the worker once its last download has returned, before any
    // closing text: a download notification still on its way is then not
    // shown, so the worker's closing text is the last one.
    std::atomic<bool> m_bDownloadsEnded{false};

    // The run's download client; null: the program's g_downloader.
    CHttpDownloader* m_pDownloader = nullptr;

    IUpdateDisplay& Display() { return *m_pDisplay; }

private:
    IUpdateDisplay* m_pDisplay;
};
