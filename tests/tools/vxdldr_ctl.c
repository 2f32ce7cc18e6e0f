/* vxdldr_ctl: sets up and reads the test VxD loader (tests/drivers/vxdldr_fake.c) through
 * "\\.\VXDLDR", for the scenarios that run setup and uninstall on Windows 98 against it.
 *
 *   vxdldr_ctl reset             clear the log and all counts (unloads of unknown names fail)
 *   vxdldr_ctl set NAME COUNT    NAME counts as loaded COUNT times
 *   vxdldr_ctl count NAME        prints the count of NAME (upper case, no extension)
 *   vxdldr_ctl log               one line per request received since the reset:
 *                                  load PATH (input N bytes): ok|refused
 *                                  unload NAME (id 0xXXXXXXXX, input N bytes): ok|refused
 *                                  code 0xN (input N bytes): ok|refused
 *                                then "total N"
 *   vxdldr_ctl keys              one line per request: the number of VxD keys in the registry when
 *                                it came, and the milliseconds since the first request
 * Exit code 0 on success, 1 when the loader cannot be opened or refuses, 2 for wrong arguments.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vxdldr_protocol.h"

static int Control(HANDLE loader, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize)
{
    DWORD returned = 0;
    if (!DeviceIoControl(loader, code, in, inSize, out, outSize, &returned, NULL)) {
        fprintf(stderr, "request 0x%08lx failed: error %lu\n", code, GetLastError());
        return 0;
    }
    return 1;
}

static void PrintEntry(const VXDLDR_LOG_ENTRY* e)
{
    const char* status = e->status == 0 ? "ok" : "refused";
    if (e->code == VXDLDR_LOAD) {
        printf("load %.*s (input %lu bytes): %s\n", (int)sizeof e->input, (const char*)e->input,
               e->inputLength, status);
    } else if (e->code == VXDLDR_UNLOAD && e->inputLength >= 4) {
        const VXDLDR_UNLOAD_REQUEST* r = (const VXDLDR_UNLOAD_REQUEST*)e->input;
        printf("unload %.*s (id 0x%08lX, input %lu bytes): %s\n", VXDLDR_NAME_SIZE, r->deviceName,
               r->deviceId, e->inputLength, status);
    } else {
        printf("code 0x%lX (input %lu bytes): %s\n", e->code, e->inputLength, status);
    }
}

int main(int argc, char** argv)
{
    static VXDLDR_LOG log;
    VXDLDR_COUNT count = {0};
    int ok = 0;
    if (argc < 2) {
        fprintf(stderr, "usage: vxdldr_ctl reset | set NAME COUNT | count NAME | log | keys\n");
        return 2;
    }
    HANDLE loader =
        CreateFileA("\\\\.\\VXDLDR", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (loader == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open \\\\.\\VXDLDR: error %lu\n", GetLastError());
        return 1;
    }
    if (strcmp(argv[1], "reset") == 0) {
        ULONG acceptAll = 0;
        ok = Control(loader, VXDLDR_IOCTL_RESET, &acceptAll, sizeof acceptAll, NULL, 0);
    } else if (strcmp(argv[1], "set") == 0 && argc == 4) {
        count.count = strtoul(argv[3], NULL, 10);
        strncpy(count.name, argv[2], sizeof count.name - 1);
        ok = Control(loader, VXDLDR_IOCTL_SET_COUNT, &count, sizeof count, NULL, 0);
    } else if (strcmp(argv[1], "count") == 0 && argc == 3) {
        strncpy(count.name, argv[2], sizeof count.name - 1);
        ok = Control(loader, VXDLDR_IOCTL_GET_COUNT, &count, sizeof count, &count, sizeof count);
        if (ok)
            printf("%lu\n", count.count);
    } else if (strcmp(argv[1], "log") == 0) {
        ok = Control(loader, VXDLDR_IOCTL_GET_LOG, NULL, 0, &log, sizeof log);
        for (unsigned long i = 0; ok && i < log.stored; i++)
            PrintEntry(&log.entries[i]);
        if (ok)
            printf("total %lu\n", log.total);
    } else if (strcmp(argv[1], "keys") == 0) {
        ok = Control(loader, VXDLDR_IOCTL_GET_LOG, NULL, 0, &log, sizeof log);
        for (unsigned long i = 0; ok && i < log.stored; i++)
            printf("%lu %lu\n", log.entries[i].vxdKeys,
                   (unsigned long)((log.entries[i].time - log.entries[0].time) / 10000));
    } else {
        fprintf(stderr, "unknown command %s\n", argv[1]);
        CloseHandle(loader);
        return 2;
    }
    CloseHandle(loader);
    return ok ? 0 : 1;
}
