// TakeInstallerLock: one named mutex for both programs, in the name space that reaches every
// session of the machine.
#include "installer_lock.h"

#include <windows.h>

#include "windows_version.h"

const char kInstallerBusyText[] =
    "Another TALVEN setup or uninstall program is running.  Please try again when it has "
    "finished.";

namespace {

const char kGlobalLockName[] = "Global\\TALVEN setup and uninstall";
const char kLockName[] = "TALVEN setup and uninstall";

// NULL when the version cannot be read.
const char* InstallerLockName()
{
    OSVERSIONINFOA version;
    if (!QueryWindowsVersion(&version))
        return NULL;
    // Windows 2000 and later give each session (fast user switching, terminal services) a name
    // space of its own, which only a Global\ name leaves. NT 4.0 refuses a backslash in the name,
    // and it and Windows 95/98 have a single name space.
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5)
        return kGlobalLockName;
    return kLockName;
}

}  // namespace

int TakeInstallerLock()
{
    const char* name = InstallerLockName();
    if (name == NULL)
        return kInstallerLockNoVersion;
    SetLastError(ERROR_SUCCESS);
    HANDLE lock = CreateMutexA(NULL, TRUE, name);
    // No second name on a failure: another object squatting on the name (error 6), another user's
    // lock (error 5) or anything else leaves no lock that reaches every session.
    if (lock == NULL)
        return kInstallerLockBusy;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(lock);
        return kInstallerLockBusy;
    }
    return kInstallerLockTaken;  // held, never closed: the system closes it when the process ends
}
