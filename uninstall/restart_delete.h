// Deleting a file at the next restart of Windows, for a driver file that is still in use.
#pragma once

// Schedules `path` for deletion when the computer restarts: on the NT family through the
// system's pending-rename list (MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT, which needs an
// administrator); on Windows 95/98 through a "NUL=<short path>" line in the [rename] section of
// WININIT.INI in the Windows directory. Returns 1 when the deletion is scheduled, else 0.
int ScheduleDeleteAtRestart(const char* path, int windows9x);
