// The operating system's version record, asked afresh on every call.
#pragma once

#include <windows.h>

// Fills `version` (its size field set to 148, the record GetVersionExA takes on every Windows of
// this family) and returns 1, or 0 when the query fails.
int QueryWindowsVersion(OSVERSIONINFOA* version);
