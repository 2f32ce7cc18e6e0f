/* Test kernel driver that starts and stops cleanly. Built twice from this source, as windrvr.sys
 * and talvenkp.sys (TEST_DRIVER_NAME tells the copies apart in the debug output), for the demo
 * package and for the service tests under Wine. */
#include <ddk/wdm.h>

#ifndef TEST_DRIVER_NAME
#define TEST_DRIVER_NAME "good_driver"
#endif

static void NTAPI GoodDriverUnload(PDRIVER_OBJECT driver)
{
  (void)driver;
  DbgPrint(TEST_DRIVER_NAME ": unloaded\n");
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
  (void)registryPath;
  driver->DriverUnload = GoodDriverUnload;
  DbgPrint(TEST_DRIVER_NAME ": started\n");
  return STATUS_SUCCESS;
}
