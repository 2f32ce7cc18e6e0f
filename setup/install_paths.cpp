// StripToDirectory and CreateDirectoryPath.
#include "install_paths.h"

#include <string.h>

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
