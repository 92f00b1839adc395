// Steps that hold something until their stdin ends (or a bound passes), so
// that a test decides how long: the updater's mutex, Wine's desktop, the
// foreground.

#include "commands.h"
#include "output.h"
#include "window_lookup.h"

namespace driver {
namespace {

DWORD WINAPI ReadToEnd(void*) {
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) &&
           got > 0) {
    }
    return 0;
}

// Serves this thread's windows until stdin ends or `ms` pass. The process
// then ends at once: the reading thread may still wait in ReadFile.
[[noreturn]] void HoldUntilStdinEnds(DWORD ms) {
    HANDLE reader = CreateThread(nullptr, 0, ReadToEnd, nullptr, 0, nullptr);
    DWORD start = GetTickCount();
    while (reader) {
        DWORD passed = GetTickCount() - start;
        if (passed >= ms || MsgWaitForMultipleObjects(1, &reader, FALSE, ms - passed,
                                                      QS_ALLINPUT) != WAIT_OBJECT_0 + 1) {
            break;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    ExitProcess(0);
}

}  // namespace

int HoldMutex(const Args& args) {
    DWORD ms = 300000;
    if (args.Has(0) && !WaitArg(args, 0, &ms)) {
        return kBadUsage;
    }
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        return Fail("the mutex exists already");
    }
    Print("mutex", "held");
    HoldUntilStdinEnds(ms);  // the process's end releases the mutex
}

// Keeps Wine's desktop open while tests start and end their programs: with
// no program left on it, Wine closes the desktop within a second and starts
// it again for the next one, and a program starting meanwhile may fail.
int HoldDesktop(const Args& args) {
    DWORD ms = 86400000;
    if (args.Has(0) && !WaitArg(args, 0, &ms)) {
        return kBadUsage;
    }
    if (!GetDesktopWindow()) {
        return Fail("no desktop window");
    }
    Print("desktop", "held");
    HoldUntilStdinEnds(ms);
}

// A window of another program that has the foreground, so that a test can
// see the wizard take it back.
int Decoy(const Args& args) {
    DWORD ms = 300000;
    if (!args.Has(0) || args.words[0].empty() || (args.Has(1) && !WaitArg(args, 1, &ms))) {
        return kBadUsage;
    }
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"LksDriverDecoy";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, args.words[0].c_str(),
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    if (!window) {
        return Fail("cannot make a window (error %lu)", GetLastError());
    }
    SetForegroundWindow(window);
    if (!PollUntil(kDefaultWaitMs, [&] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            return GetForegroundWindow() == window;
        })) {
        return Fail("the window did not get the foreground");
    }
    PrintNumber("foreground", 1);
    HoldUntilStdinEnds(ms);
}

}  // namespace driver
