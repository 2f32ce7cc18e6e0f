// <windows.h> for the fuzz target of the framework's formatting: the Win32 stand-in's header plus
// the Windows C runtime's _vsnprintf, which msvcrt_vsnprintf.cpp implements.
#pragma once

#include_next <windows.h>

// The C runtime of Windows: _vsnprintf writes at most `count` characters and terminates the text
// only when it is shorter; -1 when it is longer.
#include <stdarg.h>
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args);
