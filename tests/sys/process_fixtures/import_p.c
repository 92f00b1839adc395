/* A DLL that imports lksimp_q and lksimp_r, in that order, and nothing else. */
#include <windows.h>

__declspec(dllimport) int lksimp_q_value(void);
__declspec(dllimport) int lksimp_r_value(void);

BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

__declspec(dllexport) int lksimp_p_value(void) { return lksimp_q_value() + lksimp_r_value(); }
