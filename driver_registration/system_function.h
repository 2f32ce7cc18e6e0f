// Functions that not every Windows of the family exports, looked up at run time so that the
// programs' import tables keep only what Windows 95 exports.
#pragma once

#include <windows.h>

// The function `name` of the loaded system DLL `module` as a Function pointer; null when either
// is missing.
template <class Function>
Function FindSystemFunction(const char* module, const char* name)
{
    HMODULE handle = GetModuleHandleA(module);
    FARPROC found = handle != NULL ? GetProcAddress(handle, name) : NULL;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}
