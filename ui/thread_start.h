// Starting a worker thread of the wizard: it runs at once at normal priority
// with the default stack, and its message boxes get the dialog colours. No
// handle is kept: nobody waits for it.
#pragma once

#ifdef _WIN32

namespace ui {

using ThreadProc = unsigned (*)(void* param);

bool BeginThread(ThreadProc proc, void* param);

}  // namespace ui

#endif
