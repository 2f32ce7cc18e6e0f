/* Test kernel driver whose entry point fails, so that starting its service fails. */
#include <ddk/wdm.h>

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    (void)driver;
    (void)registryPath;
    return STATUS_UNSUCCESSFUL;
}
