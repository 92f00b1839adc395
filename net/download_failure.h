// Why a download failed, kept by the client for its caller to tell.
#pragma once

enum class DownloadFailure {
    None,      // the last download succeeded (or none was made)
    Request,   // a path or host that does not fit the request, or no client
    Refused,   // no connection could be made
    Reset,     // the connection closed or broke before the body was whole
    TimedOut,  // the server sent nothing for the receive time-out
    Status,    // not an HTTP/1.x response, a header that never ends, or not 200
    Length,    // no usable body length (invalid, coded, or none on a kept connection)
    Bound,     // the body is larger than this download may be
    Write,     // the local file could not be written
    Slow,      // the transfer stayed under the low-speed floor
};

// A short English word for logs and the console updater: "time-out", "status"...
const char* DownloadFailureName(DownloadFailure failure);
