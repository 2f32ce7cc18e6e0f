// Path handling of the setup program that needs no window: the program's directory from its
// path, and the creation of an install directory level by level.
#pragma once

#include <windows.h>

// Capacity of CreateDirectoryPath's working copy (the path, an added trailing backslash and
// the terminator).
enum { kCreatePathSize = 260 };

// Cuts path in place behind its last backslash after position 0: C:\DIST\SETUP.EXE becomes
// C:\DIST\ and D:\SETUP.EXE becomes D:\. A path with no backslash after its first character
// is left unchanged.
void StripToDirectory(char* path);

// Makes sure every directory of path exists, creating missing levels from the drive (or the
// \\server\share of a UNC path) down. True when all of them exist afterwards and the last one is
// a directory: a file of that name fails (ERROR_ALREADY_EXISTS), and so does a file on the way. A
// path too long for the working copy is refused with false (last error ERROR_FILENAME_EXCED_RANGE)
// before anything is created.
bool CreateDirectoryPath(const char* path);
