// The words of a step after its command, and how they are read.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// The updater's wizard and the mutex each running updater holds.
constexpr wchar_t kWizardTitle[] = L"Larkspan Office 升级程序";
constexpr wchar_t kMutexName[] = L"VTRX_AUTOUPDATE_MUTEX";
constexpr DWORD kDefaultWaitMs = 10000;

// Exit statuses of a step besides 0 (done) and 1 (failed, see Fail).
constexpr int kBadUsage = 2;

struct Args {
    std::vector<std::wstring> words;  // after the command

    bool Has(size_t i) const { return i < words.size(); }
    // Word i as a window title: the wizard's when it is missing or empty.
    const wchar_t* Title(size_t i) const {
        return Has(i) && !words[i].empty() ? words[i].c_str() : kWizardTitle;
    }
    // Word i as a message box title: null (any box) when missing or empty.
    const wchar_t* BoxTitle(size_t i) const {
        return Has(i) && !words[i].empty() ? words[i].c_str() : nullptr;
    }
};

// A whole decimal number, sign allowed.
bool ParseNumber(const std::wstring& text, long* value);

// Word i as the longest wait in ms (kDefaultWaitMs when missing); false when
// it is no number of 0 or more.
bool WaitArg(const Args& args, size_t i, DWORD* ms);

// Word 0 as the state a wait step wants and word 1 as its longest wait;
// `ok` false when the state is missing or the wait is bad.
struct WantedState {
    bool ok = false;
    std::string want;
    DWORD ms = 0;
};
WantedState WantAndWait(const Args& args);

// Word i as a control id.
bool ControlId(const Args& args, size_t i, int* id);

}  // namespace driver
