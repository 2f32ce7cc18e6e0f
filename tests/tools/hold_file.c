/* Test tool of the uninstall scenarios: holds files open the way a program using them would.
 *
 *   hold_file.exe read|none RELEASE PATH...
 *
 * Opens every PATH for reading, sharing it for reading only ("read": others may read it, but
 * nobody may delete it) or not at all ("none": nobody may even open it for reading). Prints
 * "held" when all are open, then keeps them open until the file RELEASE exists (or 120 s have
 * passed), and exits 0. Exit code 1 when a file cannot be opened, 2 for wrong arguments.
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    HANDLE handles[8];
    int count = 0;
    if (argc < 4 || argc - 3 > 8) {
        fprintf(stderr, "usage: hold_file read|none RELEASE PATH...\n");
        return 2;
    }
    DWORD share = strcmp(argv[1], "read") == 0 ? FILE_SHARE_READ : 0;
    for (int i = 3; i < argc; i++) {
        HANDLE h = CreateFileA(argv[i], GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "cannot open %s: error %lu\n", argv[i], GetLastError());
            while (count > 0)
                CloseHandle(handles[--count]);
            return 1;
        }
        handles[count++] = h;
    }
    printf("held\n");
    fflush(stdout);
    for (int tick = 0; tick < 1200 && GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES;
         tick++)
        Sleep(100);
    while (count > 0)
        CloseHandle(handles[--count]);
    return 0;
}
