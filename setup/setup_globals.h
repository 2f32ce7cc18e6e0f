// The setup program's globals: where it runs from, the system driver directory and the source
// pattern of the driver files. Filled at start-up, unchanged afterwards.
#pragma once

enum {
    kModuleDirSize = 256,
    kSetupPathSize = 1024,
    // The install directory is read from its edit box with this count: at most 1022 characters.
    kInstallDirTextCount = kSetupPathSize - 1,
};

// The program's full path from InitInstance, then its directory with the trailing backslash.
extern char g_moduleDir[kModuleDirSize];
// The system driver directory of the running Windows kind.
extern char g_driverDir[kSetupPathSize];
// g_moduleDir followed by "system\*.vxd" (Windows 9x side) or "system\*.sys" (NT side).
extern char g_systemFilePattern[kSetupPathSize];
