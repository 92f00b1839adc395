// Making sure the office suite is closed before its files are overwritten.
#pragma once

#include <functional>
#include <string>

// Asks the user `text` under `title`; true when the answer is OK.
using AskOkCancel = std::function<bool(const char* text, const char* title)>;

// The question and its title.
extern const char kCloseSuiteText[];
extern const char kCloseSuiteTitle[];

// The message box where the system has one (Win32); elsewhere Cancel.
bool AskWithMessageBox(const char* text, const char* title);

// Asks the suite's tray quick-starter to end itself, waiting only until it has
// taken the request.
void KillQuickStarter();

// What a suite process's executable path contains when it runs from
// `installFolder`: "<folder>\PROGRAM\LKSUITE", Latin letters upper-cased, "/"
// taken as "\" so that POSIX folders match POSIX process paths.
std::string SuiteSearchText(const std::string& installFolder);

// Asks the quick-starter to end, then, for as long as a suite process runs from
// `installFolder`, asks the user to close the suite. True when none runs (any
// more); false when the user refused.
bool EnsureOfficeClosed(const std::string& installFolder,
                        const AskOkCancel& ask = AskWithMessageBox);
