// lks-fetch: fetches one server file with the updater's download client and
// prints every notification as it arrives. The demo and the download
// benchmark use it.
//
//   lks-fetch HOST PORT SERVER-PATH LOCAL-PATH [--quiet]
//
// Exit status: 0 when the file was stored whole, 1 when the download failed,
// 2 on bad usage or when the client cannot be prepared.
#include "net/http_downloader.h"
#include "platform/notification_receiver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

const char* EventName(uintptr_t code) {
    switch (code) {
        case DOWNLOAD_CONNECTED: return "DOWNLOAD_CONNECTED";
        case DOWNLOAD_LENGTH: return "DOWNLOAD_LENGTH";
        case DOWNLOAD_PROGRESS: return "DOWNLOAD_PROGRESS";
        case DOWNLOAD_DONE: return "DOWNLOAD_DONE";
        case DOWNLOAD_FAILED: return "DOWNLOAD_FAILED";
        default: return "?";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || argc > 6 || (argc == 6 && strcmp(argv[5], "--quiet") != 0)) {
        fprintf(stderr, "usage: lks-fetch HOST PORT SERVER-PATH LOCAL-PATH [--quiet]\n");
        return 2;
    }
    bool quiet = argc == 6;
    int port = atoi(argv[2]);
    platform::NotificationReceiver receiver;
    if (!g_downloader.Init(argv[1], port, receiver.target())) {
        fprintf(stderr, "lks-fetch: cannot reach host %s\n", argv[1]);
        return 2;
    }
    // The download blocks its caller, as it blocks the updater's worker; this
    // thread shows the notifications meanwhile, as the updater's display does.
    bool ok = false;
    std::thread worker([&] { ok = g_downloader.DownloadFile(argv[4], argv[3]); });
    const uint32_t kQuietLimitMs = 120000;  // longer than any bound of the client
    for (;;) {
        platform::Notification n;
        if (!receiver.Next(&n, kQuietLimitMs)) {
            fprintf(stderr, "lks-fetch: no notification for %u ms\n", kQuietLimitMs);
            break;
        }
        bool last = n.wParam == DOWNLOAD_DONE || n.wParam == DOWNLOAD_FAILED;
        if (!quiet || n.wParam != DOWNLOAD_PROGRESS) {
            printf("%-18s %lld\n", EventName(n.wParam), static_cast<long long>(n.lParam));
            fflush(stdout);
        }
        if (last) {
            break;
        }
    }
    worker.join();
    return ok ? 0 : 1;
}
