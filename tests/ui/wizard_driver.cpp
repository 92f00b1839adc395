// lks-wizard-driver: plays the user at the updater's wizard, which runs in
// another process, one step per run, for the start-up tests and the demo.
// Prints what it reads as UTF-8 "key value" lines on stdout; every wait has a
// bound; exits 0 on success, 1 when a step fails or a wait runs out, 2 on bad
// usage. The steps live in driver/, by what they work on.

#include "driver/commands.h"
#include "driver/output.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr char kUsage[] =
    "usage: lks-wizard-driver COMMAND [ARGS]   (TITLE \"\" is the wizard's; ms: longest wait)\n"
    "  wait-window [TITLE [ms]]      a shown top-level window: hwnd, pid, exe, class\n"
    "  wait-gone [TITLE [ms]]        until no top-level window has the title\n"
    "  state [TITLE]                 visible, iconic, enabled, foreground (1/0)\n"
    "  wait-foreground [TITLE [ms]]  until the window is shown and in the foreground\n"
    "  hide [TITLE [ms]]             hides the window (out of the user's sight)\n"
    "  colour [TITLE [X Y]]          \"R G B\" on screen at client point X,Y (2,2)\n"
    "  page-colour [X Y]             the same on the current page (default: its bottom right)\n"
    "  kill [TITLE [ms]]             ends the window's process by its handle\n"
    "  end-process PID [ms]          ends that process by its handle\n"
    "  page-text ID                  text of control ID on the wizard's current page\n"
    "  wait-text ID TEXT [ms]        until that text is TEXT\n"
    "  enabled ID                    1/0 for control ID on the page\n"
    "  wait-enabled ID 1|0 [ms]      until it is (not) enabled\n"
    "  radio ID                      1/0: the button is checked\n"
    "  set-text ID TEXT              WM_SETTEXT to an edit on the page (raises EN_CHANGE)\n"
    "  click ID                      clicks a button on the page\n"
    "  controls                      the current page's controls: id, class, state, text\n"
    "  buttons                       the wizard's buttons that are shown and enabled\n"
    "  wait-buttons LIST [ms]        until exactly LIST (\"back,next,cancel\") are\n"
    "  press back|next|finish|cancel presses an enabled wizard button\n"
    "  press-watch BUTTON [ms]       presses it; the buttons usable when the next page's\n"
    "                                activation handler returned, before the sheet went on\n"
    "  list                          list view 1001 of the page: columns, rows, rows in view\n"
    "  bar ID                        progress bar ID of the page: range and position\n"
    "  message-box [TITLE [ms]]      a message box of another program: caption, text, buttons\n"
    "  box-icon [TITLE [ms]]         the icon of that message box: exclamation, question,\n"
    "                                error, information, none or other\n"
    "  answer ok|cancel|yes|no [TITLE [ms]]  presses its button, waits until it is gone\n"
    "  sysmenu [TITLE]               the window's system menu items, in order\n"
    "  mutex                         whether the updater's mutex exists\n"
    "  wait-mutex present|absent [ms]  until it is so\n"
    "  hold-mutex [ms]               holds the mutex until stdin ends (or ms pass)\n"
    "  hold-desktop [ms]             keeps Wine's desktop open until stdin ends (or ms pass)\n"
    "  decoy TITLE [ms]              a window of its own in the foreground until stdin ends\n"
    "  processes NAME                running processes of that program file name\n"
    "  wait-processes NAME COUNT [ms]  until exactly COUNT of them run\n";

struct Command {
    const char* name;
    int (*run)(const driver::Args&);
};

constexpr Command kCommands[] = {
    {"wait-window", driver::WaitWindow},
    {"wait-gone", driver::WaitGone},
    {"state", driver::State},
    {"wait-foreground", driver::WaitForeground},
    {"hide", driver::Hide},
    {"colour", driver::Colour},
    {"page-colour", driver::PageColour},
    {"kill", driver::Kill},
    {"end-process", driver::EndProcessStep},
    {"page-text", driver::PageText},
    {"wait-text", driver::WaitText},
    {"enabled", driver::Enabled},
    {"wait-enabled", driver::WaitEnabled},
    {"radio", driver::Radio},
    {"set-text", driver::SetText},
    {"click", driver::Click},
    {"controls", driver::Controls},
    {"buttons", driver::Buttons},
    {"wait-buttons", driver::WaitButtons},
    {"press", driver::Press},
    {"press-watch", driver::PressWatch},
    {"list", driver::List},
    {"bar", driver::Bar},
    {"message-box", driver::MessageBoxStep},
    {"box-icon", driver::BoxIcon},
    {"answer", driver::Answer},
    {"sysmenu", driver::SysMenu},
    {"mutex", driver::Mutex},
    {"wait-mutex", driver::WaitMutex},
    {"hold-mutex", driver::HoldMutex},
    {"hold-desktop", driver::HoldDesktop},
    {"decoy", driver::Decoy},
    {"processes", driver::Processes},
    {"wait-processes", driver::WaitProcesses},
};

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // UTF-8 bytes and "\n" as they are
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        fputs(kUsage, stderr);
        return driver::kBadUsage;
    }
    std::string name = driver::Utf8(argv[1]);
    driver::Args args;
    for (int i = 2; i < argc; ++i) {
        args.words.emplace_back(argv[i]);
    }
    LocalFree(argv);
    for (const Command& command : kCommands) {
        if (name == command.name) {
            int status = command.run(args);
            if (status == driver::kBadUsage) {
                fputs(kUsage, stderr);
            }
            return status;
        }
    }
    fputs(kUsage, stderr);
    return driver::kBadUsage;
}
