#include "engine/list_claims.h"

#include <cstdio>

namespace {

constexpr std::string_view kPrefix = "lksupdate version=";
constexpr std::string_view kSerial = " serial=";
constexpr std::string_view kValidUntil = " valid-until=";
constexpr size_t kMaxSerialDigits = 20;  // UINT64_MAX has 20

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A version: one or more printable ASCII characters other than the blank.
bool IsVersion(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

bool ReadSerial(std::string_view text, uint64_t* serial) {
    if (text.empty() || text.size() > kMaxSerialDigits || (text[0] == '0' && text.size() > 1)) {
        return false;
    }
    uint64_t value = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    *serial = value;
    return true;
}

// `count` digits at `text[at]` as a number.
bool ReadFixed(std::string_view text, size_t at, size_t count, int* value) {
    *value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!IsDigit(text[i])) {
            return false;
        }
        *value = *value * 10 + (text[i] - '0');
    }
    return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromEpoch(int year, int month, int day) {
    // Counted from March, so that the leap day ends a year.
    int64_t y = year - (month <= 2 ? 1 : 0);
    int64_t era = y / 400;
    int64_t yearOfEra = y - era * 400;
    int64_t monthFromMarch = month > 2 ? month - 3 : month + 9;
    int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// "YYYY-MM-DDTHH:MM:SSZ", a real date and time from 1970 on.
bool ReadUtcTime(std::string_view text, int64_t* seconds) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return false;
    }
    int year, month, day, hour, minute, second;
    if (!ReadFixed(text, 0, 4, &year) || !ReadFixed(text, 5, 2, &month) ||
        !ReadFixed(text, 8, 2, &day) || !ReadFixed(text, 11, 2, &hour) ||
        !ReadFixed(text, 14, 2, &minute) || !ReadFixed(text, 17, 2, &second)) {
        return false;
    }
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    *seconds = DaysFromEpoch(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

}  // namespace

bool ParseListClaims(std::string_view comment, ListClaims* claims) {
    if (comment.size() > kMaxListClaimsText || comment.substr(0, kPrefix.size()) != kPrefix) {
        return false;
    }
    std::string_view rest = comment.substr(kPrefix.size());
    size_t serialAt = rest.find(kSerial);
    if (serialAt == std::string_view::npos) {
        return false;
    }
    std::string_view version = rest.substr(0, serialAt);
    rest = rest.substr(serialAt + kSerial.size());
    size_t blank = rest.find(' ');
    std::string_view serialText = rest.substr(0, blank);
    std::optional<int64_t> validUntil;
    if (blank != std::string_view::npos) {
        std::string_view tail = rest.substr(blank);
        if (tail.substr(0, kValidUntil.size()) != kValidUntil) {
            return false;
        }
        int64_t seconds = 0;
        if (!ReadUtcTime(tail.substr(kValidUntil.size()), &seconds)) {
            return false;
        }
        validUntil = seconds;
    }
    uint64_t serial = 0;
    if (!IsVersion(version) || !ReadSerial(serialText, &serial)) {
        return false;
    }
    claims->version = std::string(version);
    claims->serial = serial;
    claims->validUntil = validUntil;
    return true;
}

std::string FormatUtcTime(int64_t seconds) {
    int64_t days = seconds >= 0 ? seconds / 86400 : 0;
    int64_t rest = seconds >= 0 ? seconds % 86400 : 0;
    // The inverse of DaysFromEpoch.
    int64_t z = days + 719468;
    int64_t era = z / 146097;
    int64_t dayOfEra = z - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    char text[32];
    snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day,
             static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
             static_cast<int>(rest % 60));
    return text;
}

std::string FormatListClaims(const ListClaims& claims) {
    if (!IsVersion(claims.version)) {
        return std::string();
    }
    std::string text = std::string(kPrefix) + claims.version + std::string(kSerial) +
                       std::to_string(claims.serial);
    if (claims.validUntil) {
        text += std::string(kValidUntil) + FormatUtcTime(*claims.validUntil);
    }
    return text;
}

const char* ClaimsVerdictName(ClaimsVerdict verdict) {
    switch (verdict) {
        case ClaimsVerdict::Accepted: return "Accepted";
        case ClaimsVerdict::WrongVersion: return "WrongVersion";
        case ClaimsVerdict::Rollback: return "Rollback";
        case ClaimsVerdict::Expired: return "Expired";
    }
    return "?";
}

ClaimsVerdict CheckListClaims(const ListClaims& claims, std::string_view expectedVersion,
                              std::optional<uint64_t> lastSerial, int64_t now) {
    if (claims.version != expectedVersion) {
        return ClaimsVerdict::WrongVersion;
    }
    if (lastSerial && claims.serial < *lastSerial) {
        return ClaimsVerdict::Rollback;
    }
    if (claims.validUntil && now > *claims.validUntil) {
        return ClaimsVerdict::Expired;
    }
    return ClaimsVerdict::Accepted;
}
