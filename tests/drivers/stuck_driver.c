/* Test kernel driver that starts but cannot be stopped: it sets no DriverUnload routine, and a
 * driver without one stays loaded until the system shuts down, so a stop request for its
 * service is refused. */
#include <ddk/wdm.h>

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    (void)registryPath;
    driver->DriverUnload = NULL;
    DbgPrint("stuck_driver: started, no unload routine\n");
    return STATUS_SUCCESS;
}
