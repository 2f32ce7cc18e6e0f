/* A DLL planted in a package folder under the name of a system DLL (riched32.dll): when a
 * program loads it, it leaves the file C:\planted_dll_loaded.txt naming that program. Loaded
 * by nothing when the program asks for the system's copy by full path. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    char program[MAX_PATH] = "";
    DWORD written = 0;
    HANDLE marker = CreateFileA("C:\\planted_dll_loaded.txt", GENERIC_WRITE, 0, NULL,
                                CREATE_ALWAYS, 0, NULL);
    GetModuleFileNameA(NULL, program, sizeof program - 1);
    if (marker != INVALID_HANDLE_VALUE) {
      WriteFile(marker, program, lstrlenA(program), &written, NULL);
      CloseHandle(marker);
    }
  }
  return TRUE;
}
