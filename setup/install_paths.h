// Path handling of the setup program that needs no window: the program's directory from its
// path, the creation of an install directory level by level, and the copy of the package into it.
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

// Copies every entry of the package folder packageDir (ending in a backslash) into installDir
// through the shell (ShellCopyFiles), subfolders included. When both name the same folder (setup
// started from its install directory) there is nothing to copy: 1 without asking the shell, which
// would fail the copy of each file onto itself. Same as Windows compares them: the full paths
// (relative parts, "." and ".." resolved) in their 8.3 forms where GetShortPathNameA gives them,
// case ignored, a trailing backslash ignored. 1 when the shell reports success.
int CopyPackageFiles(HWND owner, const char* packageDir, const char* installDir);
