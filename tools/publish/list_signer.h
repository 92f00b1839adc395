// Signing the list archive of a version tree: "codelist.txt.zip.minisig"
// beside "codelist.txt.zip", in minisign's format, with the trusted comment
// "lksupdate version=V serial=N[ valid-until=YYYY-MM-DDTHH:MM:SSZ]".
#pragma once

#include "tools/publish/secret_key.h"

#include <cstdint>
#include <optional>
#include <string>

namespace publish {

constexpr char kListSignatureName[] = "codelist.txt.zip.minisig";
// A list archive larger than this is not signed (nor published).
constexpr size_t kMaxListArchive = 256 * 1024 * 1024;
// --valid-days takes 1 to this many days.
constexpr int kMaxValidDays = 36500;

struct ListSigning {
    const SecretKey* key = nullptr;
    std::optional<uint64_t> serial;  // none: one more than the served list's, or 1
    int validDays = 0;               // 0: no end
    int64_t now = 0;                 // seconds since the epoch
};

// The serial in the signature of the list that `versionFolder` serves now;
// none when it serves no signed list (or does not exist). False with a
// message when a signature is there but its serial cannot be read.
bool ServedSerial(const std::string& versionFolder, std::optional<uint64_t>* serial,
                  std::string* error);

// Signs `treeDir`/codelist.txt.zip for `version` with `serial`.
bool SignListArchive(const std::string& treeDir, const std::string& version,
                     const ListSigning& signing, uint64_t serial, std::string* error);

}  // namespace publish
