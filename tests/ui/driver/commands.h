// The driver's steps, one function each: they take the words after the
// command and return the exit status (0 done, 1 failed, kBadUsage).
#pragma once

#include "arguments.h"

namespace driver {

// window_steps.cpp: top-level windows by title.
int WaitWindow(const Args& args);
int WaitGone(const Args& args);
int State(const Args& args);
int WaitForeground(const Args& args);
int Hide(const Args& args);
int Colour(const Args& args);
int PageColour(const Args& args);
int SysMenu(const Args& args);

// page_reading_steps.cpp: what the wizard's current page shows.
int PageText(const Args& args);
int WaitText(const Args& args);
int Enabled(const Args& args);
int WaitEnabled(const Args& args);
int Radio(const Args& args);
int Controls(const Args& args);
int Buttons(const Args& args);
int WaitButtons(const Args& args);
int Bar(const Args& args);

// list_steps.cpp: the page's list view, read across processes.
int List(const Args& args);

// page_action_steps.cpp: what a user does on the page.
int SetText(const Args& args);
int Click(const Args& args);
int Press(const Args& args);
int PressWatch(const Args& args);

// message_box_steps.cpp: message boxes of other programs.
int MessageBoxStep(const Args& args);
int BoxIcon(const Args& args);
int Answer(const Args& args);

// process_steps.cpp: processes and the updater's mutex.
int Kill(const Args& args);
int EndProcessStep(const Args& args);
int Mutex(const Args& args);
int WaitMutex(const Args& args);
int Processes(const Args& args);
int WaitProcesses(const Args& args);

// holding_steps.cpp: steps that hold something until stdin ends.
int HoldMutex(const Args& args);
int HoldDesktop(const Args& args);
int Decoy(const Args& args);

}  // namespace driver
