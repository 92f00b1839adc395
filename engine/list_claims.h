// What the publisher states in the trusted comment of the list's signature:
//   lksupdate version=V serial=N[ valid-until=YYYY-MM-DDTHH:MM:SSZ]
// V is the version folder, N grows with every publication of that folder, the
// end time is UTC. Nothing else is accepted, not even minisign's default
// "timestamp:..." comment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Longer comments are refused: real ones are well below 100 bytes.
constexpr size_t kMaxListClaimsText = 1024;

struct ListClaims {
    std::string version;
    uint64_t serial = 0;
    std::optional<int64_t> validUntil;  // seconds since 1970-01-01 00:00:00 UTC
};

// False, with `claims` unchanged, unless `comment` is exactly of the form
// above, at most kMaxListClaimsText bytes: a version of printable ASCII without blanks, a decimal
// serial without sign or leading zeros that fits 64 bits, a real date of the years 1970 to 9999.
bool ParseListClaims(std::string_view comment, ListClaims* claims);

// The comment for `claims`, as ParseListClaims reads it back; empty when the
// version could not be read back.
std::string FormatListClaims(const ListClaims& claims);

// "YYYY-MM-DDTHH:MM:SSZ" for `seconds` since the epoch (1970 to 9999).
std::string FormatUtcTime(int64_t seconds);

enum class ClaimsVerdict {
    Accepted,
    WrongVersion,  // signed for another version folder
    Rollback,      // an older publication than one already installed
    Expired,       // `now` is past its valid-until time
};

const char* ClaimsVerdictName(ClaimsVerdict verdict);

// Whether a list with `claims` may be used for the version folder
// `expectedVersion`, when the last list used had the serial `lastSerial` (none
// on a first update; the same serial again is accepted) at `now` (seconds
// since the epoch).
ClaimsVerdict CheckListClaims(const ListClaims& claims, std::string_view expectedVersion,
                              std::optional<uint64_t> lastSerial, int64_t now);
