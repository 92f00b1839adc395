// The worker that carries out one whole update: the list, the planning, the
// downloads and unpacking, closing the suite, installing, recording the new
// list and cleaning up. It reports only through the run's display.
#pragma once

#include "engine/update_run.h"
#include "sys/office_closer.h"

#include <string>

// How a run ended.
enum class UpdateOutcome {
    Completed,        // installed, the new list recorded, the temporary folder gone
    NothingToUpdate,  // the installation already matches the list
    ListNotFound,     // the update list could not be fetched or unpacked
    ListNotTrusted,   // its signature or what it claims does not hold (run.m_listCheck)
    DownloadErrors,   // an item failed to download, unpack or verify; nothing installed
    Cancelled,        // the user would not close the suite; nothing installed
    InstallFailed,    // a file could not be put into the installation; list not recorded
};

// Runs the update on the calling thread.
UpdateOutcome RunUpdate(CUpdateRun& run, const AskOkCancel& ask);

// The wizard's worker thread: RunUpdate on the run given as `param`,
// asking the user with a message box.
unsigned UpdateThreadProc(void* param);

// Fetches "<version>/codelist.txt.zip" into the temporary folder and unpacks it there.
bool FetchCodeList(CUpdateRun& run);
