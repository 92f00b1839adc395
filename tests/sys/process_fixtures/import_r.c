/* A DLL that imports nothing at all: no C runtime, no kernel32. */
#include <windows.h>

BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

__declspec(dllexport) int lksimp_r_value(void) { return 'r'; }
