// CreateDriverRegistrar: the registrar class for the running platform.
#include "driver_registrar.h"
#include "windows_version.h"

CDriverRegistrar* CreateDriverRegistrar(int preferVxd)
{
    OSVERSIONINFOA version;
    if (!QueryWindowsVersion(&version))
        return NULL;

    DWORD major = version.dwMajorVersion;
    DWORD minor = version.dwMinorVersion;
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS: {
        int win98OrLater = major > 4 || (major == 4 && minor > 0);
        if (!win98OrLater || preferVxd)
            return new CVxdRegistrar;
        return new CWin98SysRegistrar;
    }
    case VER_PLATFORM_WIN32_NT:
        // NT has no VxD loader: asking for it there yields nothing.
        return preferVxd ? NULL : new CNtServiceRegistrar;
    default:
        return NULL;
    }
}

CRegistrarOwner::CRegistrarOwner(int preferVxd, const char* name, const char* fileName,
                                 const char* imagePath)
    : m_registrar(CreateDriverRegistrar(preferVxd))
{
    // A refused configuration leaves the registrar unconfigured: its operations then fail
    // without touching any registration.
    if (m_registrar != NULL)
        m_registrar->Configure(name, fileName, TALVEN_DRIVER_START_TYPE, imagePath, 0);
}
