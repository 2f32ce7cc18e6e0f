// <windows.h> for the fuzz targets of the framework's formatting and the uninstaller's restart
// deletion: the Win32 stand-in's header plus what those call that the stand-in does not offer.
// The Win32 functions are implemented by the fuzz target that needs them (fuzz_restart_delete.cpp),
// from the fuzzer's input; _vsnprintf by msvcrt_vsnprintf.cpp.
#pragma once

#include_next <windows.h>

#ifndef MOVEFILE_DELAY_UNTIL_REBOOT
#define MOVEFILE_DELAY_UNTIL_REBOOT 0x00000004
#endif
#ifndef HEAP_ZERO_MEMORY
#define HEAP_ZERO_MEMORY 0x00000008
#endif

extern "C" {
HANDLE GetProcessHeap(void);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, size_t bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size);
DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR fileName);
BOOL WritePrivateProfileSectionA(LPCSTR section, LPCSTR lines, LPCSTR fileName);
BOOL MoveFileExA(LPCSTR existing, LPCSTR replacement, DWORD flags);
}

// The C runtime of Windows: _vsnprintf writes at most `count` characters and terminates the text
// only when it is shorter; -1 when it is longer.
#include <stdarg.h>
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args);
