// What the driver prints: UTF-8 "key value" lines on stdout, and its own
// messages on stderr, each starting with "lks-wizard-driver: ".
#pragma once

#include <string>

namespace driver {

std::string Utf8(const std::wstring& text);

// Line breaks and tabs inside a value would split the "key value" line.
std::string OneLine(std::string text);

void Print(const char* key, const std::string& value);
void Print(const char* key, const std::wstring& value);
void PrintNumber(const char* key, long long value);

// Says why a step failed; returns the step's exit status for that, 1.
int Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace driver
