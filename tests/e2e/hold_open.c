/* A Windows process for the end-to-end tests. With a file name it opens that
 * file sharing nothing, as a program that holds a file the update must
 * replace; without one it only runs (copied in as the suite's program).
 * It writes "ready" once it holds the file, then lives until its standard
 * input closes or it is killed. */
#include <windows.h>

int main(int argc, char** argv) {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[64];
    DWORD count = 0;
    if (argc > 1) {
        file =
            CreateFileA(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            return 3;
        }
    }
    /* Unbuffered: the test waits for this line before it goes on. */
    if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &count, NULL)) {
        return 4;
    }
    while (ReadFile(input, buffer, sizeof buffer, &count, NULL) && count > 0) {
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return 0;
}
