// Narrow program texts (code page 936) as the console shows them: unchanged
// on Windows, whose console uses the ANSI code page; UTF-8 on POSIX terminals.
#pragma once

#include <string>

std::string ToConsoleText(const std::string& narrow);
