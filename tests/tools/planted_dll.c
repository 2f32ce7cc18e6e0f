/* A DLL planted under the name of a system DLL (riched32.dll, riched20.dll) beside a program or
 * in its current directory: when a program loads it, it adds a line "DLL loaded into PROGRAM" to
 * the file C:\planted_dll_loaded.txt. Loaded by nothing when the program takes its system DLLs
 * and their imports from the system directory. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char line[2 * MAX_PATH + 16] = "";
        char program[MAX_PATH] = "";
        DWORD written = 0;
        HANDLE marker =
            CreateFileA("C:\\planted_dll_loaded.txt", GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, 0, NULL);
        GetModuleFileNameA(instance, line, MAX_PATH - 1);
        GetModuleFileNameA(NULL, program, sizeof program - 1);
        lstrcatA(line, " loaded into ");
        lstrcatA(line, program);
        lstrcatA(line, "\r\n");
        if (marker != INVALID_HANDLE_VALUE) {
            SetFilePointer(marker, 0, NULL, FILE_END);
            WriteFile(marker, line, lstrlenA(line), &written, NULL);
            CloseHandle(marker);
        }
    }
    return TRUE;
}
