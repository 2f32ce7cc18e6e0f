/* Test kernel driver that starts and stops cleanly. Built twice from this source, as windrvr.sys
 * and talvenkp.sys (TEST_DRIVER_NAME tells the copies apart in the debug output), for the demo
 * package and for the service tests under Wine; and as slow_unload.sys, whose unload routine
 * takes TEST_DRIVER_UNLOAD_DELAY_MS. */
#include <ddk/wdm.h>

#ifndef TEST_DRIVER_NAME
#define TEST_DRIVER_NAME "good_driver"
#endif

static void NTAPI GoodDriverUnload(PDRIVER_OBJECT driver)
{
  (void)driver;
#ifdef TEST_DRIVER_UNLOAD_DELAY_MS
  /* A driver slow to stop: the stop request is answered only when its unload routine returns. */
  LARGE_INTEGER delay;
  delay.QuadPart = -10000LL * TEST_DRIVER_UNLOAD_DELAY_MS;
  KeDelayExecutionThread(KernelMode, FALSE, &delay);
#endif
  DbgPrint(TEST_DRIVER_NAME ": unloaded\n");
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
  (void)registryPath;
  driver->DriverUnload = GoodDriverUnload;
  DbgPrint(TEST_DRIVER_NAME ": started\n");
  return STATUS_SUCCESS;
}
