#include "platform/console_text.h"

std::string ToConsoleText(const std::string& narrow) { return narrow; }
