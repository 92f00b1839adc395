// The update list "codelist.txt": one entry per line, each entry up to five
// fields "<FN path>", "<MD checksum>", "<SZ size>", "<ZZ number>" and
// "<SH sha-256>" in any order. The publisher writes "SH" last, so readers that
// know only the first four skip it as text outside their fields.
// Reading never fails on content: what a line lacks reads as an empty text or 0.
#pragma once

#include "engine/update_item.h"

#include <cstdint>
#include <string>
#include <string_view>

// The value of the field `tag` in `line`: the text between "<" + tag and the
// next ">", blanks around it dropped. Empty when the field or its ">" is missing.
std::string GetTagValue(std::string line, std::string tag);

// Leading whitespace, an optional sign and the decimal digits up to the first
// other character, as atoi reads them; no digits read 0. A value beyond 32 bits
// saturates at INT32_MAX / INT32_MIN (what the Windows runtime's atoi returns),
// so a hostile list cannot make it overflow.
int32_t ReadNumber(std::string_view text);

// Splits `path` at its last "\" that stands as a character of its own (a GBK
// trail byte 0x5C is no separator). Without one, `fileName` is the whole path.
void SplitPath(std::string_view path, std::string* folder, std::string* fileName);

// The entry of one line (without its terminator).
UpdateItem ParseUpdateItem(const std::string& line);

// The number of lines of the list file at `path`; 0 when it cannot be opened.
int CountLines(const std::string& path);
