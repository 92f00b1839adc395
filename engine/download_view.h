// How a display shows the download client's notifications: the status line
// for connected / done / failed, the current bar for the body's bytes.
#pragma once

#include "engine/update_display.h"
#include "engine/update_run.h"

#include <cstdint>

void ShowDownloadEvent(IUpdateDisplay& display, uintptr_t code, intptr_t value);

// The same, unless the run's downloads have ended (CUpdateRun::m_bDownloadsEnded):
// then the notification came too late to be shown.
void ShowDownloadEventOfRun(CUpdateRun& run, uintptr_t code, intptr_t value);
