/* Started by the launcher tests. Ends with 42 when its command line is its
 * own full path and nothing else, 43 otherwise: how CreateProcessA is to
 * start the self-copy. */
#include <windows.h>

int main(void) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 1;
    }
    return lstrcmpiA(GetCommandLineA(), path) == 0 ? 42 : 43;
}
