// The lock that setup and uninstall share, so that two of them never interleave their steps.
#pragma once

// What TakeInstallerLock found.
enum {
    // Another TALVEN setup or uninstall holds the lock, or it cannot be created.
    kInstallerLockBusy = 0,
    kInstallerLockTaken = 1,  // this process holds it now
    // The Windows version cannot be read, so no name is known to reach every program; nothing was
    // created. The programs refuse as they refuse a Windows they do not support.
    kInstallerLockNoVersion = 2,
};

// Takes the lock for the rest of the process's life (the system releases it when the process
// ends); each program calls it once, at its start. The name is chosen by the Windows version:
// "Global\TALVEN setup and uninstall" on Windows 2000 and later (NT 5.0 and up), "TALVEN setup
// and uninstall" on NT 4.0 and Windows 95/98.
int TakeInstallerLock();

// What a program that did not get the lock tells the user (caption "Error"), before it ends with
// exit status kInstallerBusyExitCode.
extern const char kInstallerBusyText[];
enum { kInstallerBusyExitCode = 3 };
