#include "platform/codepage.h"

namespace platform {

size_t CharLength(std::string_view text, size_t pos) {
    if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos]))) {
        return 2;
    }
    return 1;
}

size_t FindChar(std::string_view text, char c, size_t from) {
    for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (i >= from && text[i] == c) {
            return i;
        }
    }
    return std::string_view::npos;
}

size_t FindLastChar(std::string_view text, char c) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (text[i] == c) {
            found = i;
        }
    }
    return found;
}

size_t FindText(std::string_view text, std::string_view needle, size_t from) {
    if (needle.empty()) {
        return from <= text.size() ? from : std::string_view::npos;
    }
    for (size_t i = 0; i + needle.size() <= text.size(); i += CharLength(text, i)) {
        if (i >= from && text.compare(i, needle.size(), needle) == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::string ReplaceChar(std::string_view text, char from, char to) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); i += CharLength(out, i)) {
        if (out[i] == from) {
            out[i] = to;
        }
    }
    return out;
}

std::string UpperLatin(std::string_view text) {
    std::string out(text);
    for (size_t i = 0; i < out.size();) {
        size_t len = CharLength(out, i);
        if (len == 1 && out[i] >= 'a' && out[i] <= 'z') {
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
        }
        i += len;
    }
    return out;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) {
        ++begin;
    }
    size_t end = text.size();
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

}  // namespace platform
