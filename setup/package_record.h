// The list of the package's files that the package step puts into setup.exe, in a section of its
// own (".talpkg"), so that a signature of setup.exe covers every file beside it; and the checks of
// the package folder and of the installed drivers against that list.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "sha256.h"

// The record's entries as they lie in setup.exe's image. The record is "TPK1", the number of
// entries, then per entry (sorted by path): the file's size, its SHA-256, and its path in the
// package ("system\windrvr.sys") with a NUL; integers little-endian, nothing between or after the
// entries.
struct PackageRecord {
    const BYTE* entries;  // the first entry
    DWORD size;           // bytes from the first entry to the end of the record
    DWORD count;
};

// Reads the record from its bytes: false when it is not whole (a wrong mark, no entry, an entry
// cut short, an empty path, bytes after the last entry).
bool ReadPackageRecord(const BYTE* data, DWORD size, PackageRecord* record);
// Finds the record's section in the module image mapped at `image` (the program's own, as the
// loader mapped it) and reads it: false when there is none or it is not whole.
bool FindPackageRecord(const void* image, PackageRecord* record);

enum PackageProblem {
    kPackageWhole = 0,
    kPackageNoRecord,  // setup.exe holds no whole record
    kPackageFileMissing,
    kPackageFileChanged,     // another size or other bytes than the record holds
    kPackageFileUnreadable,  // there, but it cannot be opened or read
    kPackageFileForeign,     // in system\, where setup copies drivers from, but not in the record
    kPackageTooDeep,         // in a folder too deep for its path (MAX_PATH): it cannot be opened
};

// Checks the package folder `packageDir` (ending in a backslash) against the record: first that
// system\ holds nothing the record does not list, then every listed file, its size and its bytes.
// Returns the first problem found and copies the file's path in the package into `problemPath`
// (cut to fit), or kPackageWhole. `keepAnswering` is called after each block read, so that the
// caller's window answers while a large package is checked.
int CheckPackageFolder(const PackageRecord& record, const char* packageDir, char* problemPath,
                       size_t problemPathSize, void (*keepAnswering)());

// 1 when the file at `path` holds the size and bytes that the record lists for `packagePath`
// ("system\windrvr.sys"); 0 when it differs, cannot be read, or the record does not list it.
int FileMatchesRecord(const PackageRecord& record, const char* packagePath, const char* path);
