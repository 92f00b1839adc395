#include "engine/download_view.h"

#include "engine/update_texts.h"
#include "net/download_events.h"

void ShowDownloadEvent(IUpdateDisplay& display, uintptr_t code, intptr_t value) {
    switch (code) {
        case DOWNLOAD_CONNECTED: display.SetStatusText(kTextConnected); break;
        case DOWNLOAD_LENGTH:
            display.SetBarRange32(ProgressBar::Current, static_cast<int>(value));
            break;
        case DOWNLOAD_PROGRESS:
            display.SetBarPos(ProgressBar::Current, static_cast<int>(value));
            break;
        case DOWNLOAD_DONE: display.SetStatusText(kTextDone); break;
        case DOWNLOAD_FAILED: display.SetStatusText(kTextFailed); break;
        default: break;  // not ours
    }
}

void ShowDownloadEventOfRun(CUpdateRun& run, uintptr_t code, intptr_t value) {
    if (!run.m_bDownloadsEnded) {
        ShowDownloadEvent(run.Display(), code, value);
    }
}
