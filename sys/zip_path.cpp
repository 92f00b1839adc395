#include "sys/zip_path.h"

#include "platform/codepage.h"
#include "platform/path_component.h"

#include <cstring>
#include <string>

namespace zippath {

namespace {

constexpr size_t npos = std::string_view::npos;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Start of the last character, or npos for an empty text.
size_t LastCharStart(std::string_view text) {
    size_t last = npos;
    for (size_t i = 0; i < text.size(); i += platform::CharLength(text, i)) {
        last = i;
    }
    return last;
}

bool IsPlainComponent(std::string_view component) {
    return !platform::LeavesItsFolder(component) && !platform::IsDeviceName(component);
}

}  // namespace

size_t LastSeparator(std::string_view path) {
    size_t found = npos;
    for (size_t i = 0; i < path.size(); i += platform::CharLength(path, i)) {
        if (IsSeparator(path[i])) {
            found = i;
        }
    }
    return found;
}

bool EndsWithSeparator(std::string_view path) {
    size_t last = LastCharStart(path);
    return last != npos && last + 1 == path.size() && IsSeparator(path[last]);
}

std::string_view FileNamePart(std::string_view path) {
    size_t sep = LastSeparator(path);
    return sep == npos ? path : path.substr(sep + 1);
}

std::string_view Extension(std::string_view path) {
    std::string_view name = FileNamePart(path);
    size_t dot = platform::FindLastChar(name, '.');
    return dot == npos ? std::string_view() : name.substr(dot + 1);
}

std::string_view WithoutExtension(std::string_view path) {
    std::string_view name = FileNamePart(path);
    size_t dot = platform::FindLastChar(name, '.');
    return dot == npos ? path : path.substr(0, path.size() - (name.size() - dot));
}

std::string_view TrimFolder(std::string_view path) {
    // White space bytes are below 0x40 and so never the second byte of a GBK
    // character; a trailing "\" may be one, hence the character-wise look.
    while (!path.empty() && IsBlank(path.back())) {
        path.remove_suffix(1);
    }
    while (EndsWithSeparator(path)) {
        path.remove_suffix(1);
    }
    return path;
}

bool CopyPath(char* out, size_t outSize, std::string_view text) {
    if (outSize == 0) {
        return false;
    }
    out[0] = '\0';
    if (text.size() >= outSize) {
        return false;
    }
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return true;
}

bool JoinPath(char* out, size_t outSize, std::string_view folder, std::string_view name) {
    if (outSize == 0) {
        return false;
    }
    out[0] = '\0';
    bool addSeparator = !folder.empty() && !EndsWithSeparator(folder);
    size_t length = folder.size() + (addSeparator ? 1 : 0) + name.size();
    if (length >= outSize) {
        return false;
    }
    char* p = out;
    std::memcpy(p, folder.data(), folder.size());
    p += folder.size();
    if (addSeparator) {
        *p++ = '\\';
    }
    std::memcpy(p, name.data(), name.size());
    p[name.size()] = '\0';
    return true;
}

bool IsContainedEntryName(std::string_view name) {
    if (!name.empty() && IsSeparator(name[0])) {
        return false;
    }
    // ":" (0x3A) is never the second byte of a GBK character.
    if (name.find(':') != npos) {
        return false;
    }
    size_t start = 0;
    for (size_t i = 0; i < name.size(); i += platform::CharLength(name, i)) {
        if (IsSeparator(name[i])) {
            if (!IsPlainComponent(name.substr(start, i - start))) {
                return false;
            }
            start = i + 1;
        }
    }
    // A folder entry ends with its separator: nothing after it to judge.
    return (start > 0 && start == name.size()) || IsPlainComponent(name.substr(start));
}

}  // namespace zippath
