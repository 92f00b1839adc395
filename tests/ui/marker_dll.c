/* A DLL that says it was loaded: DllMain writes an empty file named as the
 * DLL's own path with ".loaded" added. Copied under the names of system DLLs
 * beside the updater's copy, it shows which of them the updater loaded from
 * its own folder. It exports nothing: a program that took it for a system DLL
 * would fail soon after, but the mark is made first. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    char path[MAX_PATH + 8];
    DWORD length;
    HANDLE mark;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    length = GetModuleFileNameA(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return TRUE;
    }
    lstrcpyA(path + length, ".loaded");
    mark = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (mark != INVALID_HANDLE_VALUE) {
        CloseHandle(mark);
    }
    return TRUE;
}
