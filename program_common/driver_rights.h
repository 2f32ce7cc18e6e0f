// The question both programs ask on the NT side before they touch anything: may this user
// register and remove drivers at all. What a user who may not is told, and the exit status.
#pragma once

#include "driver_registrar.h"

// 1 when the NT family's service control manager refuses this user the access the registrars open
// it with (ERROR_ACCESS_DENIED): only an administrator can install or remove the drivers. 0 when
// it grants it, on Windows 95/98 (not asked: they have no such rights), and when the question
// fails for any other reason: the program then runs as it would have without the question.
int DriverRightsDenied(WindowsKind kind);

// The "Error" box's text for such a user, before the program ends with kNoDriverRightsExitCode.
extern const char kNoDriverRightsText[];
enum { kNoDriverRightsExitCode = 4 };
