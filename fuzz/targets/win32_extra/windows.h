// <windows.h> for the fuzz target of the uninstaller's restart deletion: the Win32 stand-in's
// header plus what it calls that the stand-in does not offer. The Win32 functions are implemented
// by that target (fuzz_restart_delete.cpp), from the fuzzer's input.
#pragma once

#include_next <windows.h>

#ifndef MOVEFILE_DELAY_UNTIL_REBOOT
#define MOVEFILE_DELAY_UNTIL_REBOOT 0x00000004
#endif

extern "C" {
DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size);
DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR fileName);
BOOL WritePrivateProfileSectionA(LPCSTR section, LPCSTR lines, LPCSTR fileName);
BOOL MoveFileExA(LPCSTR existing, LPCSTR replacement, DWORD flags);
}
