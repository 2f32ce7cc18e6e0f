// FormatFileList, ShellCopyFiles and ShellDeleteFile on SHFileOperationA.
#include "shell_files.h"

#include <shellapi.h>
#include <string.h>

#include "bounded_text.h"
#include "driver_registrar.h"

namespace {

const FILEOP_FLAGS kDeleteFlags =
    FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_NOCOPYSECURITYATTRIBS;
const FILEOP_FLAGS kCopyFlags = kDeleteFlags | FOF_SIMPLEPROGRESS;
static_assert(kDeleteFlags == 0x0E10, "the uninstaller's delete flags");
static_assert(kCopyFlags == 0x0F10, "setup's copy flags");

int RunFileOperation(HWND owner, UINT function, const char* from, const char* to,
                     FILEOP_FLAGS flags)
{
    SHFILEOPSTRUCTA operation;
    memset(&operation, 0, sizeof operation);
    operation.hwnd = owner;
    operation.wFunc = function;
    operation.pFrom = from;
    operation.pTo = to;
    operation.fFlags = flags;
    operation.fAnyOperationsAborted = FALSE;
    if (function == FO_COPY)
        operation.lpszProgressTitle = "Copying Files...";
    return SHFileOperationA(&operation) == 0 && !operation.fAnyOperationsAborted ? 1 : 0;
}

}  // namespace

int FormatFileList(char* list, size_t capacity, const char* a, const char* b)
{
    if (capacity < 2) {
        if (capacity == 1)
            list[0] = '\0';
        return 0;
    }
    // One character stays free for the second NUL.
    int fit = JoinText(list, capacity - 1, a, b);
    list[strlen(list) + 1] = '\0';
    return fit;
}

int ShellCopyFiles(HWND owner, const char* from, const char* to)
{
    char fromList[kDriverPathSize];
    char toList[kDriverPathSize];
    if (!FormatFileList(fromList, sizeof fromList, from) ||
        !FormatFileList(toList, sizeof toList, to))
        return 0;
    return RunFileOperation(owner, FO_COPY, fromList, toList, kCopyFlags);
}

int ShellDeleteFile(HWND owner, const char* path)
{
    char list[kDriverPathSize];
    if (!FormatFileList(list, sizeof list, path))
        return 0;
    return RunFileOperation(owner, FO_DELETE, list, NULL, kDeleteFlags);
}
