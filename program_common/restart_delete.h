// Deleting a file at the next restart of Windows, for a driver file that is still in use, and
// taking back what the restart would do to a fresh copy of the file installed before it.
#pragma once

// Schedules `path` for deletion when the computer restarts: on the NT family through the
// system's pending-rename list (MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT, which needs an
// administrator); on Windows 95/98 through a "NUL=<short path>" line in the [rename] section of
// WININIT.INI in the Windows directory, flushed to the disk. Returns 1 when the deletion is scheduled, else 0.
int ScheduleDeleteAtRestart(const char* path, int windows9x);

enum { kMaxWithdrawnPaths = 2 };

// Takes back every operation pending for the next restart that would delete one of `paths` (at
// most kMaxWithdrawnPaths) or put another file in its place: a path named in its given or its
// short (8.3) form, compared with ASCII letters folded to one case.
// NT family: the pairs of the pending-rename list whose source is such a path and whose target is
// empty, and those whose target is such a path (the source file stays where it is), each name
// with or without the "\??\" prefix (a target also behind "!"). The list is read and written as
// UTF-16 (the registry's wide functions, looked up at run time; `paths` converted from the ANSI
// code page), and every other pair is written back as it was; the value goes when nothing else is
// left in it. A value that is not a whole list of pairs (another type, an odd byte count, a last
// string without its NUL, a source without its target) is left as it is, and so answers 0.
// Windows 95/98: the lines "NUL=<path>" and "<path>=<source>" of WININIT.INI's [rename] section;
// the rewritten file is flushed to the disk.
// Every other entry stays, in its order. Returns 1 when none of `paths` is left pending, 0 when
// that cannot be told or the list could not be written back (the file may then be deleted or
// replaced at the restart).
int WithdrawDeletesAtRestart(const char* const paths[], int count, int windows9x);
