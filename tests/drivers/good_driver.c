/* Test kernel driver that starts and stops cleanly. Built from this source as windrvr.sys and
 * talvenkp.sys (TEST_DRIVER_NAME tells the copies apart), for the demo package and the service
 * tests under Wine, as driver_variant.sys, and as slow_unload.sys, whose unload routine takes
 * TEST_DRIVER_UNLOAD_DELAY_MS. When the key HKLM\Software\TalvenTest exists (a
 * scenario makes it), the driver records there the system time of its start and of its unload,
 * as REG_BINARY values "NAME loaded" and "NAME unloaded": the order and the pause of a driver's
 * replacement can then be read back. */
#include <ddk/wdm.h>

#define WIDE2(text) L##text
#define WIDE(text) WIDE2(text)

static void Record(PCWSTR what)
{
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    /* Without the key, nothing is recorded: a failure is the expected outcome outside the tests. */
    RtlWriteRegistryValue(RTL_REGISTRY_ABSOLUTE, L"\\Registry\\Machine\\Software\\TalvenTest", what,
                          REG_BINARY, &now, sizeof now);
}

static void NTAPI GoodDriverUnload(PDRIVER_OBJECT driver)
{
    (void)driver;
#ifdef TEST_DRIVER_UNLOAD_DELAY_MS
    /* A driver slow to stop: the stop request is answered only when its unload routine returns. */
    LARGE_INTEGER delay;
    delay.QuadPart = -10000LL * TEST_DRIVER_UNLOAD_DELAY_MS;
    KeDelayExecutionThread(KernelMode, FALSE, &delay);
#endif
    Record(WIDE(TEST_DRIVER_NAME) L" unloaded");
    DbgPrint(TEST_DRIVER_NAME ": unloaded\n");
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    (void)registryPath;
    driver->DriverUnload = GoodDriverUnload;
    Record(WIDE(TEST_DRIVER_NAME) L" loaded");
    DbgPrint(TEST_DRIVER_NAME ": started\n");
    return STATUS_SUCCESS;
}
