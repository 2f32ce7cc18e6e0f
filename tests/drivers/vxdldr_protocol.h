/* Protocol of the test VxD loader driver (vxdldr_fake.sys), shared by the driver and the test
 * programs that drive it under Wine.
 *
 * The driver creates \Device\VXDLDR with the link \DosDevices\VXDLDR, so that "\\.\VXDLDR" opens
 * it as it opens the Windows 9x loader. It answers the two loader requests:
 *   VXDLDR_LOAD (1)    input: a NUL-terminated path. Counts one load for the path's base name
 *                      upper-cased without extension (C:\x\vmm32\windrvr.vxd -> WINDRVR).
 *                      Fails when the input holds no NUL or the table of names is full.
 *   VXDLDR_UNLOAD (2)  input: a VXDLDR_UNLOAD_REQUEST, at least 260 bytes, deviceId 0xFFFFFFFF.
 *                      Succeeds and takes one off the count when the name (compared exactly,
 *                      case included) has a count above 0; fails otherwise. In accept-all mode
 *                      every well-formed unload succeeds.
 * and three requests of its own, all METHOD_BUFFERED, that test programs use:
 *   VXDLDR_IOCTL_RESET      input: ULONG acceptAllUnloads. Clears the log and all counts and
 *                           sets the mode.
 *   VXDLDR_IOCTL_SET_COUNT  input: VXDLDR_COUNT. Sets the count of a name (preloads "loaded 3
 *                           times" without three load requests; these calls are not logged).
 *   VXDLDR_IOCTL_GET_COUNT  input: VXDLDR_COUNT (name only), output: VXDLDR_COUNT.
 *   VXDLDR_IOCTL_GET_LOG    output: VXDLDR_LOG (the output buffer must hold all of it).
 *
 * The log records every request with code 1 or 2 (and any other code the driver does not know),
 * with the time and the number of VxD keys then: a test sees the pause between an unload and the
 * next load, and whether the driver's key went before or after its unload. It also counts the
 * device's open file objects, so that a handle left open shows.
 *
 * The state lives in the driver, not in the handle: it survives closing and reopening the device
 * and is lost only when the driver is stopped.
 */
#ifndef TALVEN_TESTS_VXDLDR_PROTOCOL_H
#define TALVEN_TESTS_VXDLDR_PROTOCOL_H

#define VXDLDR_LOAD 1
#define VXDLDR_UNLOAD 2

/* CTL_CODE(FILE_DEVICE_UNKNOWN (0x22), 0x800.., METHOD_BUFFERED, FILE_ANY_ACCESS) */
#define VXDLDR_IOCTL_RESET 0x00222000
#define VXDLDR_IOCTL_SET_COUNT 0x00222004
#define VXDLDR_IOCTL_GET_COUNT 0x00222008
#define VXDLDR_IOCTL_GET_LOG 0x0022200C

#define VXDLDR_NAME_SIZE 256
#define VXDLDR_UNLOAD_REQUEST_SIZE 260
#define VXDLDR_LOG_ENTRIES 64
#define VXDLDR_LOG_INPUT 264

/* Same layout as the registrar's 260-byte unload request. */
typedef struct VXDLDR_UNLOAD_REQUEST {
    unsigned long deviceId; /* 0xFFFFFFFF */
    char deviceName[VXDLDR_NAME_SIZE];
} VXDLDR_UNLOAD_REQUEST;

typedef struct VXDLDR_COUNT {
    unsigned long count;
    char name[VXDLDR_NAME_SIZE]; /* NUL-terminated, compared exactly */
} VXDLDR_COUNT;

typedef struct VXDLDR_LOG_ENTRY {
    unsigned long code;        /* the control code received */
    unsigned long inputLength; /* the input length received, even when larger than `input` */
    unsigned long outputLength;
    long status;                           /* NTSTATUS the driver answered with; 0 is success */
    unsigned char input[VXDLDR_LOG_INPUT]; /* first min(inputLength, VXDLDR_LOG_INPUT) bytes */
    unsigned long vxdKeys;   /* subkeys of HKLM\System\CurrentControlSet\Services\VxD then */
    unsigned long long time; /* system time of the request, in 100 ns units */
} VXDLDR_LOG_ENTRY;

typedef struct VXDLDR_LOG {
    unsigned long total;  /* requests received since the last reset */
    unsigned long stored; /* entries filled, min(total, VXDLDR_LOG_ENTRIES) */
    VXDLDR_LOG_ENTRY entries[VXDLDR_LOG_ENTRIES];
    unsigned long openHandles; /* opens (IRP_MJ_CREATE) minus closes (IRP_MJ_CLOSE) since the
                                driver started, the reader's own handle included; not reset */
} VXDLDR_LOG;

#endif
