#include "tools/publish/name_rules.h"

#include "platform/codepage.h"

#include <cstdio>

namespace publish {

namespace {

// Why a single-byte character cannot stand in a name; null when it can.
const char* CharRefusal(unsigned char c) {
    if (c < 0x20 || c == 0x7F) {
        return "holds a control character";
    }
    switch (c) {
        case '<':
        case '>': return "holds \"<\" or \">\", which delimit the fields of the update list";
        case '%': return "holds \"%\", which the server would decode in the request";
        case '#': return "holds \"#\", which ends the path of a request";
        case '?': return "holds \"?\", which ends the path of a request";
        case '\\':
        case '/': return "holds a path separator";
        case ':': return "holds \":\", which clients refuse in list paths";
        case '*':
        case '"':
        case '|': return "holds a character that Windows file names cannot hold";
        default: return nullptr;
    }
}

// A trail byte of code page 936 (GBK): 0x40 to 0xFE without 0x7F, the range
// the server's rewrite rule consumes after a lead byte.
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

}  // namespace

std::string NameRefusal(std::string_view name) {
    if (name.empty()) {
        return "is empty";
    }
    if (name.front() == ' ') {
        return "begins with a blank, which the update list drops";
    }
    if (name.back() == ' ') {
        return "ends with a blank, which the update list drops";
    }
    for (size_t i = 0; i < name.size();) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (platform::IsLeadByte(c)) {
            // A lead byte without a proper second byte would take the next
            // separator of the path as its own second byte.
            if (i + 1 >= name.size() || !IsTrailByte(static_cast<unsigned char>(name[i + 1]))) {
                return "is not well-formed in the narrow code page (a lead byte without its "
                       "second byte)";
            }
            i += 2;
            continue;
        }
        if (const char* why = CharRefusal(c)) {
            return why;
        }
        ++i;
    }
    // Windows drops a final dot: the client would make another name. This also
    // keeps a name ending in ".." away from the server's ".." refusal.
    if (name.back() == '.') {
        return "ends with a dot, which Windows drops from file names";
    }
    return std::string();
}

std::string VersionRefusal(std::string_view version) {
    if (!version.empty() && version.front() == '.') {
        return "begins with a dot, which names the publisher's own trees";
    }
    return NameRefusal(version);
}

std::string Printable(std::string_view text) {
    std::string out;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace publish
