// Which entries of the new update list must be downloaded: an entry is
// current when the installed list has its path with the same checksum,
// fetched when the temporary folder already holds its file with the listed
// checksum, and otherwise downloaded.
#pragma once

#include "engine/update_item.h"
#include "engine/update_run.h"

// Fills the run's lists and the file rows. True when something is to be
// downloaded or a file fetched earlier is still to be installed; false when
// there is nothing to do or the new list cannot be opened.
bool BuildDownloadList(CUpdateRun& run);

// True for an entry that may be fetched and installed: a safe path, and in a
// signed list a full MD5 (and a well-formed SHA-256 where it has one).
bool IsEntryUsable(const CUpdateRun& run, const UpdateItem& item);

// True when the temporary folder holds the entry's file with its checksum
// (compared upper-cased). False when the file is missing, cannot be opened or
// cannot be read through.
bool IsFileFetched(UpdateItem item, CUpdateRun& run);
