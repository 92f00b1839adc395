// Which names the update list and a client's request can carry. A client
// requests "/" + version + path + ".zip" with the path's bytes raw (only blanks
// escaped), parses the list by "<" and ">", trims blanks around a value, and
// finally creates the file on Windows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace publish {

// The client keeps "c:\temp\lksupdate" + path + ".zip" in a 255-byte buffer.
constexpr size_t kMaxListPath =
    255 - 1 - (sizeof("c:\\temp\\lksupdate") - 1) - (sizeof(".zip") - 1);

// Why the file or folder name `name` cannot be published; empty when it can.
std::string NameRefusal(std::string_view name);

// Why `version` cannot name a version folder; empty when it can. Names that
// begin with "." are the publisher's own trees.
std::string VersionRefusal(std::string_view version);

// `text` with every byte outside printable ASCII written as \xNN, for messages.
std::string Printable(std::string_view text);

}  // namespace publish
