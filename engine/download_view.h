// How a display shows the download client's notifications: the status line
// for connected / done / failed, the current bar for the body's bytes.
#pragma once

#include "engine/update_display.h"

#include <cstdint>

void ShowDownloadEvent(IUpdateDisplay& display, uintptr_t code, intptr_t value);
