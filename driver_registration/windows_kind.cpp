// The running Windows version as a WindowsKind, its display name, and the driver locations of
// each kind.
#include "driver_registrar.h"

#include "bounded_text.h"
#include "windows_version.h"

#include <string.h>

const char* const kWindowsKindNames[6] = {
    "None Detected", "Windows 95", "Windows 98", "Windows NT 4.0", "Windows 2000", "Windows XP",
};

int QueryWindowsVersion(OSVERSIONINFOA* version)
{
    memset(version, 0, sizeof *version);
    version->dwOSVersionInfoSize = sizeof *version;  // 148, which every system of the family takes
    return GetVersionExA(version) ? 1 : 0;
}

WindowsKind GetWindowsKind()
{
    OSVERSIONINFOA version;
    if (!QueryWindowsVersion(&version))
        return kWindowsNone;

    DWORD platform = version.dwPlatformId;
    DWORD major = version.dwMajorVersion;
    DWORD minor = version.dwMinorVersion;
    if (platform == VER_PLATFORM_WIN32_WINDOWS && major == 4)
        return minor == 0 ? kWindows95 : kWindows98;
    if (platform == VER_PLATFORM_WIN32_NT && major == 4)
        return kWindowsNT4;
    if (platform == VER_PLATFORM_WIN32_NT && major == 5)
        return minor == 0 ? kWindows2000 : kWindowsXP;
    return kWindowsNone;
}

int IsNtSide(WindowsKind kind)
{
    return kind >= kWindowsNT4 ? 1 : 0;
}

int GetDriverLocations(WindowsKind kind, const char* windowsDir, DriverLocations* out)
{
    const int nt = IsNtSide(kind);
    const char* extension = DriverFileExtension(kind);
    // One character of each buffer stays free for the second NUL of a shell file list.
    const size_t capacity = kDriverPathSize - 1;
    out->preferVxd = nt ? 0 : 1;
    if (windowsDir != NULL &&
        JoinText(out->driverDir, capacity, windowsDir,
                 nt ? "\\system32\\drivers" : "\\system\\vmm32") &&
        JoinText(out->windrvrPath, capacity, out->driverDir, "\\" TALVEN_WINDRVR_FILE, extension) &&
        JoinText(out->talvenkpPath, capacity, out->driverDir, "\\" TALVEN_TALVENKP_FILE, extension))
        return 1;
    out->driverDir[0] = '\0';
    out->windrvrPath[0] = '\0';
    out->talvenkpPath[0] = '\0';
    return 0;
}

const char* DriverSourcePattern(WindowsKind kind)
{
    return IsNtSide(kind) ? "system\\*.sys" : "system\\*.vxd";
}

const char* DriverFileExtension(WindowsKind kind)
{
    return IsNtSide(kind) ? ".sys" : ".vxd";
}
