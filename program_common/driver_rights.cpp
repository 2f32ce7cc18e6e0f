// DriverRightsDenied and its message.
#include "driver_rights.h"

#include "registry_key.h"

const char kNoDriverRightsText[] =
    "Only an administrator can install or remove TALVEN.  Please log on as one (or use \"Run "
    "as...\"), and run this program again.";

// Kept out of line: inlined into OnInitDialog, right after the version's classification, it has
// the compiler copy the code that follows once for each kind, some 200 bytes of setup.exe.
__attribute__((noinline)) int DriverRightsDenied(WindowsKind kind)
{
    if (!IsNtSide(kind))
        return 0;
    // The registrars open the manager with full access, and without it every one of their steps
    // fails: the question asks for exactly that, which NT 4.0 answers as 2000 and XP do (unlike
    // CheckTokenMembership, which NT 4.0 lacks). By default only administrators hold it.
    ServiceHandle manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS));
    return manager.Get() == NULL && GetLastError() == ERROR_ACCESS_DENIED ? 1 : 0;
}
