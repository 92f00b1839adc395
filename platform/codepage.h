// The system's narrow code page and scanning that respects its double-byte
// characters. In code page 936 (GBK) the second byte of a character may be
// 0x5C, the code of "\", or a Latin letter: scanning byte by byte would cut
// such a character in two.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The ANSI code page on Windows; 936 on POSIX, where list files and paths are
// GBK bytes as on the systems served.
unsigned ActiveCodePage();

// True when `byte` starts a double-byte character in the narrow code page.
bool IsLeadByte(unsigned char byte);

// Length in bytes (1 or 2) of the character that starts at `pos`; a lead byte
// at the very end counts as one character.
size_t CharLength(std::string_view text, size_t pos);

// First / last position at which the ASCII character `c` stands as a
// character of its own (never as the second byte of a double-byte character).
size_t FindChar(std::string_view text, char c, size_t from = 0);
size_t FindLastChar(std::string_view text, char c);

// First position, at a character boundary, where `needle` begins.
size_t FindText(std::string_view text, std::string_view needle, size_t from = 0);

// Replaces every `from` character (an ASCII byte standing as a character of
// its own) by `to`.
std::string ReplaceChar(std::string_view text, char from, char to);

// True for the blanks the list and settings readers drop: blank, tab, CR,
// LF, vertical tab, form feed (all below 0x40: never a GBK second byte).
bool IsBlank(char c);

// `text` without blanks on both sides.
std::string_view TrimBlanks(std::string_view text);

// Latin letters a-z to A-Z; bytes of double-byte characters stay as they are.
std::string UpperLatin(std::string_view text);

}  // namespace platform
