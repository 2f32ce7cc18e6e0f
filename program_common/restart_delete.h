// Deleting a file at the next restart of Windows, for a driver file that is still in use, and
// taking such a delete back before a fresh copy of the file is installed.
#pragma once

// Schedules `path` for deletion when the computer restarts: on the NT family through the
// system's pending-rename list (MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT, which needs an
// administrator); on Windows 95/98 through a "NUL=<short path>" line in the [rename] section of
// WININIT.INI in the Windows directory. Returns 1 when the deletion is scheduled, else 0.
int ScheduleDeleteAtRestart(const char* path, int windows9x);

enum { kMaxWithdrawnPaths = 2 };

// Takes back every delete at the next restart that names one of `paths` (at most
// kMaxWithdrawnPaths), in its given or its short (8.3) form, compared without regard to case.
// NT family: the (source, empty target) pairs of the pending-rename list whose source is such a
// path, with or without the "\??\" prefix; the value goes when nothing else is left in it.
// Windows 95/98: the "NUL=" lines of WININIT.INI's [rename] section. Every other entry stays, in
// its order. Returns 1 when none of `paths` is left pending, 0 when that cannot be told or the
// list could not be written back (the file may then be deleted at the restart).
int WithdrawDeletesAtRestart(const char* const paths[], int count, int windows9x);
