// The running Windows version as a WindowsKind (64-bit Windows is none of them), its display
// name, and the driver locations of each kind.
#include "driver_registrar.h"

#include "bounded_text.h"
#include "system_function.h"
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

namespace {

WindowsKind KindOfVersion(const OSVERSIONINFOA& version)
{
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

// 64-bit Windows XP and Server 2003 report 5.2 like their 32-bit editions. A 32-bit process there
// runs under WOW64, which redirects System32 and the registry: the driver files would land where
// the 64-bit kernel never looks. IsWow64Process is looked up, not imported: Windows 95 to 2000
// and XP before SP2 lack it, and lacking it means a 32-bit Windows. A call that fails proves no
// 32-bit Windows either.
int RunsUnderWow64()
{
    typedef BOOL(WINAPI * IsWow64ProcessFunction)(HANDLE, BOOL*);
    IsWow64ProcessFunction isWow64Process =
        FindSystemFunction<IsWow64ProcessFunction>("kernel32.dll", "IsWow64Process");
    if (isWow64Process == NULL)
        return 0;
    BOOL wow64 = FALSE;
    return !isWow64Process(GetCurrentProcess(), &wow64) || wow64 ? 1 : 0;
}

}  // namespace

WindowsKind GetWindowsKind()
{
    OSVERSIONINFOA version;
    if (!QueryWindowsVersion(&version))
        return kWindowsNone;
    WindowsKind kind = KindOfVersion(version);
    if (kind != kWindowsNone && RunsUnderWow64())
        return kWindowsNone;
    return kind;
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
