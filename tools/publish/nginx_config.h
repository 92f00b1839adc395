// nginx configuration for a server root made by the publisher.
//
// Clients request "/V\program\a.dll.zip" with backslashes. On Linux nginx
// takes "\" as a plain byte, so the rules turn every "\" that is a character
// of its own into "/": double-byte characters of code page 936 are consumed
// whole first, so a second byte 0x5C (as in 0x81 0x5C) stays. nginx allows ten
// rewrite cycles per request; each cycle replaces up to eight separators,
// enough for 80 levels. nginx resolves "/.." before rewriting and never after,
// so any ".." segment under either separator is refused before the rewrite.
// The publisher's trees ".V.<n>" answer 404 under every spelling ("/", "\",
// %5C), so that only the version folders are served.
#pragma once

#include <string>

namespace publish {

// The directives that go inside a server block (after its listen and root):
// gzip off, the ".." refusal, the hidden trees, the separator rewrite.
std::string NginxServerRules();

// Why `root` cannot be written into a configuration; empty when it can.
std::string NginxRootRefusal(const std::string& root);
// Why `listen` ("127.0.0.1:8080", "80") cannot be; empty when it can.
std::string NginxListenRefusal(const std::string& listen);

// A whole nginx.conf serving `root` (an absolute path) on `listen`. Its logs,
// pid file and temporary folders are relative to the prefix:
//   nginx -p PREFIX -c FILE -e PREFIX/logs/error.log   (PREFIX/logs must exist)
std::string NginxConf(const std::string& listen, const std::string& root);

}  // namespace publish
