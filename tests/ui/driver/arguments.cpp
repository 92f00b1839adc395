#include "arguments.h"
#include "output.h"

#include <cwchar>

namespace driver {

bool ParseNumber(const std::wstring& text, long* value) {
    if (text.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    long n = wcstol(text.c_str(), &end, 10);
    if (*end != L'\0') {
        return false;
    }
    *value = n;
    return true;
}

WantedState WantAndWait(const Args& args) {
    WantedState wanted;
    wanted.ok = args.Has(0) && WaitArg(args, 1, &wanted.ms);
    if (wanted.ok) {
        wanted.want = Utf8(args.words[0]);
    }
    return wanted;
}

bool WaitArg(const Args& args, size_t i, DWORD* ms) {
    *ms = kDefaultWaitMs;
    if (!args.Has(i)) {
        return true;
    }
    long n = 0;
    if (!ParseNumber(args.words[i], &n) || n < 0) {
        return false;
    }
    *ms = static_cast<DWORD>(n);
    return true;
}

bool ControlId(const Args& args, size_t i, int* id) {
    long n = 0;
    if (!args.Has(i) || !ParseNumber(args.words[i], &n)) {
        return false;
    }
    *id = static_cast<int>(n);
    return true;
}

}  // namespace driver
