// Finding the wizard, its current page, its controls and other top-level
// windows, and asking them things with a bound. The *OrSay lookups print
// the one text that says what is missing (see Fail) and return null.
#pragma once

#include "arguments.h"

#include <windows.h>

#include <string>

namespace driver {

constexpr DWORD kPollStepMs = 20;

// Polls `condition` in short steps until it holds or `ms` have passed; it is
// always asked once more at the end, so a zero bound still looks once.
template <typename Condition>
bool PollUntil(DWORD ms, Condition condition) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= ms) {
            return condition();
        }
        Sleep(kPollStepMs);
    }
}

// SendMessage that gives up on a hung window; false when it got no answer.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

std::wstring ClassOf(HWND window);
// The window text as the window itself answers WM_GETTEXT (an edit's
// contents, a static's text); empty when it does not answer in time.
std::wstring TextOf(HWND window);
// The title as the system keeps it (no message sent).
std::wstring TitleOf(HWND window);
// The program file of a process; empty when it cannot be asked.
std::wstring ProcessImage(DWORD pid);
// hwnd, pid, exe, class and title lines.
void PrintWindowFacts(HWND window);

// Shown and enabled: what a user can use.
bool Usable(HWND window);
// An image static (a message box's icon, a page's bitmap) answers WM_GETTEXT
// with its resource id, not with a text.
bool IsImageStatic(HWND control);

// A top-level window with the title that is shown; null when there is none.
HWND FindShown(const wchar_t* title);
// The wizard: a dialog with the wizard's title that holds pages.
HWND FindSheet();
HWND CurrentPage(HWND sheet);
// Control `id` of the wizard's current page; null when the wizard, its page
// or the control is not there.
HWND FindPageControl(int id);

// "no window "TITLE"" when no top-level window has the title.
HWND WindowOrSay(const wchar_t* title);
// "no wizard window".
HWND SheetOrSay();
// "no wizard page".
HWND PageOrSay();
// "NOUN ID: REASON", the reason naming what of wizard, page and control is missing.
HWND PageControlOrSay(int id, const char* noun);

// What the Take lookups below found. `status` is the step's exit status when
// it is not 0: kBadUsage for words that do not fit, 1 after the *OrSay text.
struct TakenWindow {
    int status = 0;
    HWND window = nullptr;
    DWORD ms = 0;
};
struct TakenControl {
    int status = 0;
    int id = 0;
    HWND control = nullptr;
};

// The window titled by word 0 and the longest wait of word 1.
TakenWindow TakeWindowAndWait(const Args& args);
// The control of the current page whose id is word `i`.
TakenControl TakeControl(const Args& args, size_t i, const char* noun);

// A wizard button or a message box button by its name in the steps.
struct NamedButton {
    const char* name;
    int id;
};
// The usable ones of `count` buttons of `dialog`, by name, comma-separated.
std::string UsableButtons(HWND dialog, const NamedButton* buttons, size_t count);
// The id of the button called `name`; 0 when none is.
int ButtonId(const std::wstring& name, const NamedButton* buttons, size_t count);

}  // namespace driver
