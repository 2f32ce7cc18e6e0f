// The driver sequences of the two programs: setup's re-registration of a driver and the
// uninstaller's removal, with what the system still holds of a driver afterwards.
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
    kDriverStillRunning = 1,    // it did not stop: the next restart ends it
    kDriverRemovalPending = 2,  // its registration is marked for deletion: the restart completes it
    kDriverStillRegistered = 4,  // its registration could not be removed (or not be looked at)
};

// Removes one configured driver: Unload, pause 1000 ms, Remove. Then asks the system about the
// driver called name: NT's service control manager (preferVxd 0) or the VxD key (preferVxd 1).
// A registrar may be null; the system is asked all the same.
int RemoveDriver(CDriverRegistrar* registrar, int preferVxd, const char* name, PauseFunction pause);

// The question RemoveDriver asks at its end; removed says whether Remove reported success.
int DriverLeftovers(int preferVxd, const char* name, int removed);
