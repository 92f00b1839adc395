/* Stands in for the office suite's program: tells the test that it runs, then
 * lives until the test process ends or ends it.
 * Arguments: the test's process id, the name of the event to set. */
#include <windows.h>

#include <stdlib.h>

int main(int argc, char** argv) {
    HANDLE parent;
    HANDLE ready;
    if (argc < 3) {
        return 2;
    }
    parent = OpenProcess(SYNCHRONIZE, FALSE, (DWORD)strtoul(argv[1], NULL, 10));
    ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!parent || !ready) {
        return 3;
    }
    SetEvent(ready);
    CloseHandle(ready);
    WaitForSingleObject(parent, INFINITE);
    return 0;
}
