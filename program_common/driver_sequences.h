// The driver sequences of the two programs: setup's re-registration of a driver and the
// uninstaller's removal, with what the system still holds of a driver afterwards, and whether a
// driver service awaits its deletion at the restart.
#pragma once

#include "driver_registrar.h"

// Waits the given milliseconds; the programs pass a pause that keeps their status line answering.
typedef void (*PauseFunction)(DWORD milliseconds);

// Re-registers one configured driver: Unload, Remove, pause 1000 ms, Install, Load. The results of
// Unload and Remove are not looked at. Returns how many of the Install and Load steps failed
// (0 to 2); without a registrar both fail.
int ReplaceDriver(CDriverRegistrar* registrar, PauseFunction pause);

// What is left of a driver after RemoveDriver, as the system reports it (a set of flags).
enum {
    kDriverGone = 0,
    kDriverStillRunning = 1,    // it did not stop (or unload): the next restart ends it
    kDriverRemovalPending = 2,  // its registration is marked for deletion: the restart completes it
    kDriverStillRegistered = 4,  // its registration could not be removed (or not be looked at)
    // Beside kDriverStillRegistered on the NT side: the system refused this user the access that
    // removing the registration takes (the service's own security, for instance).
    kDriverAccessDenied = 8,
};

// Removes one configured driver: Unload, pause 1000 ms, Remove. Then asks the system about the
// driver called name: NT's service control manager (preferVxd 0) or the VxD key (preferVxd 1).
// On Windows 95/98 a VxD whose key was there before the removal and that the loader would not
// unload still runs. A registrar may be null; the system is asked all the same.
int RemoveDriver(CDriverRegistrar* registrar, int preferVxd, const char* name, PauseFunction pause);

// The question RemoveDriver asks at its end; removed says whether Remove reported success.
int DriverLeftovers(int preferVxd, const char* name, int removed);

// 1 when NT's service control manager holds the service called name marked for deletion: it can
// be created again only after the restart. 0 when it is not, or when that cannot be found out.
// Changes nothing.
int IsServiceMarkedForDeletion(const char* name);
