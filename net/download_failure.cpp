#include "net/download_failure.h"

const char* DownloadFailureName(DownloadFailure failure) {
    switch (failure) {
        case DownloadFailure::None: return "none";
        case DownloadFailure::Request: return "request";
        case DownloadFailure::Refused: return "refused";
        case DownloadFailure::Reset: return "reset";
        case DownloadFailure::TimedOut: return "time-out";
        case DownloadFailure::Status: return "status";
        case DownloadFailure::Length: return "length";
        case DownloadFailure::Bound: return "bound";
        case DownloadFailure::Write: return "write error";
        case DownloadFailure::Slow: return "slow";
    }
    return "?";
}
