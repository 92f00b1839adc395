#include "engine/code_list.h"

#include "engine/line_reader.h"
#include "platform/codepage.h"

#include <climits>

namespace {

using platform::IsBlank;
using platform::TrimBlanks;

}  // namespace

std::string GetTagValue(std::string line, std::string tag) {
    std::string opener = "<" + tag;
    size_t at = platform::FindText(line, opener);
    if (at == std::string::npos) {
        return std::string();
    }
    size_t start = at + opener.size();
    size_t close = platform::FindChar(line, '>', start);
    if (close == std::string::npos) {
        return std::string();
    }
    return std::string(TrimBlanks(std::string_view(line).substr(start, close - start)));
}

int32_t ReadNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude that stops growing at the saturation limit.
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) {
            magnitude = limit;
        }
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

void SplitPath(std::string_view path, std::string* folder, std::string* fileName) {
    size_t last = platform::FindLastChar(path, '\\');
    if (last == std::string_view::npos) {
        folder->clear();
        fileName->assign(path);
        return;
    }
    folder->assign(path.substr(0, last));
    fileName->assign(path.substr(last + 1));
}

UpdateItem ParseUpdateItem(const std::string& line) {
    // GetTagValue per field walks the line ten times, byte by byte through
    // the code page; with lists of 100,000 lines that was most of the
    // planning. One walk finds the same "<" + tag and ">" of every field.
    enum { kFN, kMD, kSZ, kZZ, kSH, kFields };
    static const char kTags[kFields][2] = {
        {'F', 'N'}, {'M', 'D'}, {'S', 'Z'}, {'Z', 'Z'}, {'S', 'H'}};
    size_t start[kFields], close[kFields];
    for (int f = 0; f < kFields; ++f) {
        start[f] = close[f] = std::string::npos;
    }
    std::string_view text(line);
    int pending = kFields;  // fields without their ">" yet
    for (size_t i = 0; i < text.size() && pending > 0; i += platform::CharLength(text, i)) {
        if (text[i] == '>') {
            for (int f = 0; f < kFields; ++f) {
                if (start[f] != std::string::npos && close[f] == std::string::npos &&
                    i >= start[f]) {
                    close[f] = i;
                    --pending;
                }
            }
        } else if (text[i] == '<' && i + 3 <= text.size()) {
            for (int f = 0; f < kFields; ++f) {
                if (start[f] == std::string::npos && text[i + 1] == kTags[f][0] &&
                    text[i + 2] == kTags[f][1]) {
                    start[f] = i + 3;
                }
            }
        }
    }
    auto value = [&](int f) {
        return close[f] == std::string::npos
                   ? std::string_view()
                   : TrimBlanks(text.substr(start[f], close[f] - start[f]));
    };
    UpdateItem item;
    item.path = value(kFN);
    item.checksum = value(kMD);
    item.size = ReadNumber(value(kSZ));
    item.zz = ReadNumber(value(kZZ));
    item.sha256 = value(kSH);
    SplitPath(item.path, &item.folder, &item.fileName);
    return item;
}

int CountLines(const std::string& path) {
    CLineReader reader(path.c_str());
    std::string line;
    int count = 0;
    while (count < INT_MAX && reader.ReadLine(line)) {
        ++count;
    }
    return count;
}
