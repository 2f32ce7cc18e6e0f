// The lock that setup and uninstall share, so that two of them never interleave their steps.
#pragma once

// Takes the lock for the rest of the process's life (the system releases it when the process
// ends). 1 when this process holds it now; 0 when another TALVEN setup or uninstall holds it.
int TakeInstallerLock();

// What a program that did not get the lock tells the user (caption "Error"), before it ends with
// exit status kInstallerBusyExitCode.
extern const char kInstallerBusyText[];
enum { kInstallerBusyExitCode = 3 };
