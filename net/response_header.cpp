#include "net/response_header.h"

#include <climits>
#include <cstring>
#include <string_view>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// True when the comma-separated list holds `token` (letter case ignored).
bool HasToken(std::string_view list, std::string_view token) {
    while (!list.empty()) {
        size_t comma = list.find(',');
        if (EqualsNoCase(Trim(list.substr(0, comma)), token)) {
            return true;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return false;
}

// "HTTP/1.x NNN ..." -> the code, or 0.
int ParseStatusLine(std::string_view line, bool* http10) {
    if (line.size() < 12 || line.substr(0, 5) != "HTTP/" || line[6] != '.' || line[8] != ' ') {
        return 0;
    }
    if (line[5] != '1' || (line[7] != '0' && line[7] != '1')) {
        return 0;
    }
    *http10 = line[7] == '0';
    int code = 0;
    for (size_t i = 9; i < 12; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return 0;
        }
        code = code * 10 + (line[i] - '0');
    }
    if (line.size() > 12 && line[12] != ' ') {
        return 0;
    }
    return code;
}

// Content-Length is one or more digits; anything else, a value above what a
// 32-bit notification can carry, or two values that differ make it invalid.
void ReadContentLength(std::string_view value, ResponseHeader* h) {
    if (h->length == ResponseHeader::Length::Invalid) {
        return;
    }
    value = Trim(value);
    long long n = 0;
    bool ok = !value.empty();
    for (char c : value) {
        if (c < '0' || c > '9') {
            ok = false;
            break;
        }
        n = n * 10 + (c - '0');
        if (n > INT_MAX) {
            ok = false;
            break;
        }
    }
    if (!ok || (h->length == ResponseHeader::Length::Valid && h->contentLength != n)) {
        h->length = ResponseHeader::Length::Invalid;
        return;
    }
    h->length = ResponseHeader::Length::Valid;
    h->contentLength = static_cast<int>(n);
}

void ReadField(std::string_view line, ResponseHeader* h) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 || IsBlank(line[0])) {
        return;  // not a field, or the continuation of a folded one
    }
    std::string_view name = line.substr(0, colon);
    std::string_view value = Trim(line.substr(colon + 1));
    if (EqualsNoCase(name, "Content-Length")) {
        ReadContentLength(value, h);
    } else if (EqualsNoCase(name, "Transfer-Encoding")) {
        h->transferCoded = h->transferCoded || !EqualsNoCase(value, "identity");
    } else if (EqualsNoCase(name, "Content-Encoding")) {
        h->contentCoded = h->contentCoded || !(value.empty() || EqualsNoCase(value, "identity"));
    } else if (EqualsNoCase(name, "Connection")) {
        h->connectionClose = h->connectionClose || HasToken(value, "close");
    }
}

}  // namespace

bool AnalyseResponseHeader(const char* data, size_t size, ResponseHeader* header) {
    *header = ResponseHeader();
    std::string_view text(data,
                          size < static_cast<size_t>(kHeaderMaxLength) ? size : kHeaderMaxLength);
    size_t end = text.find("\r\n\r\n");
    if (end == std::string_view::npos) {
        return false;
    }
    header->headerLength = static_cast<int>(end + 4);
    std::string_view lines = text.substr(0, end + 2);
    bool first = true;
    while (!lines.empty()) {
        size_t eol = lines.find("\r\n");
        std::string_view line = lines.substr(0, eol);
        lines.remove_prefix(eol + 2);
        if (first) {
            header->statusCode = ParseStatusLine(line, &header->http10);
            first = false;
        } else {
            ReadField(line, header);
        }
    }
    return true;
}

bool ParseResponseHeader(const char* block, int length, int* headerLength, int* contentLength) {
    if (!block || length <= 0) {
        return false;
    }
    ResponseHeader header;
    if (!AnalyseResponseHeader(block, static_cast<size_t>(length), &header)) {
        return false;
    }
    *headerLength = header.headerLength;
    if (header.length == ResponseHeader::Length::Valid) {
        *contentLength = header.contentLength;
    }
    return header.statusCode == 200;
}
