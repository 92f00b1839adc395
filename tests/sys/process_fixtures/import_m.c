/* A DLL that imports lksimp_p and lksimp_q, in that order, and nothing else. */
#include <windows.h>

__declspec(dllimport) int lksimp_p_value(void);
__declspec(dllimport) int lksimp_q_value(void);

BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

__declspec(dllexport) int lksimp_m_value(void) { return lksimp_p_value() + lksimp_q_value(); }
