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
// most kMaxWithdrawnPaths), move it elsewhere, or put another file in its place: a path named in
// its given or its short (8.3) form, compared with ASCII letters folded to one case.
// NT family: the pairs of the pending-rename list whose source or target names such a path (the
// other file of a pair stays where it is). A name may stand behind "\??\", "\DosDevices\",
// "\GLOBAL??\" or nothing, a target also behind "!", and may end in "::$DATA". The list is read
// and written as UTF-16 (the registry's wide functions, looked up at run time; `paths` converted
// from the ANSI code page), and every other pair is written back as it was; the value goes when
// nothing else is left in it. The list is read again just before it is written: when another
// program has changed it meanwhile, the rewrite starts over, at most three times, and then answers
// 0 without writing. A name that ends in the file name of one of `paths` (dots and blanks behind
// it aside) but is not, behind those prefixes and before that suffix, a plain drive path ("X:\"
// and names between single backslashes, none ending in a dot or a blank, no "/" or ":") may name
// it too: its pair stays, the pairs that are ours still go, and the answer is 0.
// A value that is not a whole list of pairs (another type, an odd byte count, a last string
// without its NUL, a source without its target) is left as it is; it answers 0 when the file name
// of one of `paths` occurs in its bytes, as UTF-16 at any byte offset or as 8-bit text, ASCII
// letters in either case, and 1 otherwise. A value over 2 MB is not read and answers 0.
// Windows 95/98: the lines "<target>=<source>" of WININIT.INI's [rename] section that name such a
// path on either side ("NUL=<path>" deletes); the rewritten file is flushed to the disk. A section
// too big to read whole (32 KB) is left as it is and answers 0.
// Every other entry stays, in its order. Returns 1 when none of `paths` is left pending, 0 when
// that cannot be told or the list could not be written back (the file may then be deleted,
// moved or replaced at the restart).
int WithdrawDeletesAtRestart(const char* const paths[], int count, int windows9x);
