// StripToDirectory, CreateDirectoryPath and CopyPackageFiles.
#include "install_paths.h"

#include <string.h>

#include "bounded_text.h"
#include "driver_registrar.h"
#include "shell_files.h"

namespace {

// The form of a folder's path that two names of one folder share, without a trailing backslash;
// 0 when the system cannot give it. A folder without an 8.3 form (or on a volume without them)
// keeps its full path.
int ComparableFolderPath(const char* path, char (&out)[MAX_PATH])
{
    char full[MAX_PATH];
    char* filePart;
    DWORD length = GetFullPathNameA(path, sizeof full, full, &filePart);
    if (length == 0 || length >= sizeof full)
        return 0;
    length = GetShortPathNameA(full, out, sizeof out);
    if (length == 0 || length >= sizeof out) {
        memcpy(out, full, strlen(full) + 1);
    }
    // A backslash byte can be the second byte of a double-byte character: walk the characters.
    char* last = NULL;
    for (char* c = out; *c != '\0'; c += IsDBCSLeadByte(static_cast<BYTE>(*c)) && c[1] ? 2 : 1)
        last = c;
    if (last != NULL && *last == '\\')
        *last = '\0';
    return 1;
}

int IsSameFolder(const char* a, const char* b)
{
    char first[MAX_PATH];
    char second[MAX_PATH];
    return ComparableFolderPath(a, first) && ComparableFolderPath(b, second) &&
           lstrcmpiA(first, second) == 0;
}

}  // namespace

void StripToDirectory(char* path)
{
    size_t n = strlen(path);
    for (size_t i = n; i >= 1; --i) {
        if (path[i] == '\\') {
            path[i + 1] = '\0';
            return;
        }
    }
}

bool CreateDirectoryPath(const char* path)
{
    char work[kCreatePathSize];
    size_t length = strlen(path);
    bool addSeparator = length == 0 || path[length - 1] != '\\';
    // The path, the separator that may be appended and the terminator must all fit.
    if (length + (addSeparator ? 1 : 0) + 1 > sizeof work) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    memcpy(work, path, length);
    if (addSeparator)
        work[length++] = '\\';
    work[length] = '\0';

    char* separator;
    if (work[0] == '\\' && work[1] == '\\') {
        // \\server\share\...: the first prefix tested is \\server\share.
        char* serverEnd = strchr(work + 2, '\\');
        separator = serverEnd ? strchr(serverEnd + 1, '\\') : NULL;
    } else {
        separator = strchr(work, '\\');
    }

    bool result = true;
    while (separator && result) {
        *separator = '\0';
        DWORD attributes = GetFileAttributesA(work);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            // Only a missing level is created; any other error (ERROR_PATH_NOT_FOUND
            // included) ends the walk.
            if (GetLastError() == ERROR_FILE_NOT_FOUND)
                result = CreateDirectoryA(work, NULL) != FALSE;
            else
                result = false;
        } else if (separator[1] == '\0' && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            // The install directory itself exists as a file: nothing could be copied into it.
            SetLastError(ERROR_ALREADY_EXISTS);
            result = false;
        }
        *separator = '\\';
        separator = strchr(separator + 1, '\\');
    }
    return result;
}

int CopyPackageFiles(HWND owner, const char* packageDir, const char* installDir)
{
    if (IsSameFolder(packageDir, installDir))
        return 1;
    char pattern[kDriverPathSize];
    return JoinText(pattern, sizeof pattern, packageDir, "*.*") &&
           ShellCopyFiles(owner, pattern, installDir);
}
