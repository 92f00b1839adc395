// The four inputs of an update run, settled as the progress page settles
// them: installation folder and version from the registry unless the
// settings override them, the host chosen on the first page (or the vendor's
// server), and the fixed temporary folder.
#pragma once

#include "app/update_settings.h"
#include "engine/update_run.h"

#include <string>

// The vendor's update server.
constexpr char kDefaultUpdateHost[] = "update.larkspan-office.com";

// "c:\temp\lksupdate" on Windows; a folder that survives a reboot on POSIX,
// since fetched files are kept for the next run.
std::string DefaultTempDir();

// Fills the run's inputs and mode. False when the registry has no "Path":
// then nothing may be updated.
bool SettleRunInputs(const UpdateSettings& settings, CUpdateRun& run);
