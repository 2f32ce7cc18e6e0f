// TakeInstallerLock: one named mutex for both programs.
#include "installer_lock.h"

#include <windows.h>

const char kInstallerBusyText[] =
    "Another TALVEN setup or uninstall program is running.  Please try again when it has "
    "finished.";

namespace {

// Held, never closed: the system closes it when the process ends, whichever way it ends.
HANDLE g_lock;

HANDLE CreateLock(const char* name)
{
    SetLastError(ERROR_SUCCESS);
    return CreateMutexA(NULL, TRUE, name);
}

}  // namespace

int TakeInstallerLock()
{
    if (g_lock != NULL)
        return 1;
    // On Windows 2000/XP with several sessions (fast user switching, terminal services), the
    // Global\ name reaches every session. NT 4.0 refuses a name with a backslash: the plain name
    // there, and on Windows 95/98, which have a single name space.
    HANDLE lock = CreateLock("Global\\TALVEN setup and uninstall");
    if (lock == NULL && GetLastError() == ERROR_ACCESS_DENIED)
        return 0;  // another user's program holds it
    if (lock == NULL)
        lock = CreateLock("TALVEN setup and uninstall");
    if (lock == NULL)
        return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(lock);
        return 0;
    }
    g_lock = lock;
    return 1;
}
