// "standalone.ini" in the installation folder: plain lines, no sections. For
// a key, the first line that contains it (after cutting a "//" comment)
// decides: its value is what follows the first "=", trimmed, or empty when
// the line has no "=".
#pragma once

#include "app/update_settings.h"

#include <string>
#include <string_view>

// The value of `key` in file text already read (no I/O, so it can be fuzzed).
std::string FindIniValue(std::string_view text, std::string_view key);

// The value of `key` in the file at `path`; empty when there is none.
std::string GetIniValue(const char* path, const char* key);

// "<registry Path>\standalone.ini"; "\standalone.ini" when Path cannot be read.
std::string GetSettingsFilePath();

// Fills `settings` from the settings file: UPDATEHOST, UPDATEMODEL,
// UPDATEROOT, WINVERSION, each looked up afresh. Empty values keep defaults.
void ReadSettings(UpdateSettings& settings);
