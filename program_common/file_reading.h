// Opening files for reading through the system, without the C runtime.
#pragma once

#include <windows.h>

// Opens an existing file for reading as the C library's fopen(path, "rb") does, letting others
// read and write it meanwhile; INVALID_HANDLE_VALUE when it cannot. Owned by a FileHandle
// (registry_key.h).
HANDLE OpenFileForReading(const char* path);
// 1 when `path` can be opened for reading: how the uninstaller finds the drivers installed.
int CanOpenForReading(const char* path);
