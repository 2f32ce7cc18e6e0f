/* Test tool of the uninstall scenarios: sets up and reads the test VxD loader (vxdldr_fake.sys)
 * through "\\.\VXDLDR".
 *
 *   vxdldr_ctl reset                clear the log and all counts (unloads of unknown names fail)
 *   vxdldr_ctl set NAME COUNT       NAME counts as loaded COUNT times
 *   vxdldr_ctl count NAME           prints the count of NAME
 *   vxdldr_ctl log                  prints one line per request received since the reset:
 *                                   "load PATH", "unload NAME ok|failed", or "code N"
 * Exit code 0 on success, 1 when the loader cannot be opened or refuses, 2 for wrong arguments.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vxdldr_protocol.h"

static int Control(HANDLE loader, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) {
  DWORD returned = 0;
  if (!DeviceIoControl(loader, code, in, inSize, out, outSize, &returned, NULL)) {
    fprintf(stderr, "request 0x%08lx failed: error %lu\n", code, GetLastError());
    return 0;
  }
  return 1;
}

int main(int argc, char** argv) {
  HANDLE loader;
  int ok = 0;
  if (argc < 2) {
    fprintf(stderr, "usage: vxdldr_ctl reset | set NAME COUNT | count NAME | log\n");
    return 2;
  }
  loader = CreateFileA("\\\\.\\VXDLDR", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0,
                       NULL);
  if (loader == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "cannot open \\\\.\\VXDLDR: error %lu\n", GetLastError());
    return 1;
  }
  if (strcmp(argv[1], "reset") == 0) {
    ULONG acceptAll = 0;
    ok = Control(loader, VXDLDR_IOCTL_RESET, &acceptAll, sizeof acceptAll, NULL, 0);
  } else if (strcmp(argv[1], "set") == 0 && argc == 4) {
    VXDLDR_COUNT count;
    memset(&count, 0, sizeof count);
    count.count = strtoul(argv[3], NULL, 10);
    strncpy(count.name, argv[2], sizeof count.name - 1);
    ok = Control(loader, VXDLDR_IOCTL_SET_COUNT, &count, sizeof count, NULL, 0);
  } else if (strcmp(argv[1], "count") == 0 && argc == 3) {
    VXDLDR_COUNT in, out;
    memset(&in, 0, sizeof in);
    memset(&out, 0, sizeof out);
    strncpy(in.name, argv[2], sizeof in.name - 1);
    ok = Control(loader, VXDLDR_IOCTL_GET_COUNT, &in, sizeof in, &out, sizeof out);
    if (ok) printf("%lu\n", out.count);
  } else if (strcmp(argv[1], "log") == 0) {
    static VXDLDR_LOG log;
    unsigned long i;
    ok = Control(loader, VXDLDR_IOCTL_GET_LOG, NULL, 0, &log, sizeof log);
    for (i = 0; ok && i < log.stored; i++) {
      const VXDLDR_LOG_ENTRY* e = &log.entries[i];
      if (e->code == VXDLDR_LOAD) {
        printf("load %.*s\n", (int)sizeof e->input, (const char*)e->input);
      } else if (e->code == VXDLDR_UNLOAD && e->inputLength >= VXDLDR_UNLOAD_REQUEST_SIZE) {
        const VXDLDR_UNLOAD_REQUEST* r = (const VXDLDR_UNLOAD_REQUEST*)e->input;
        printf("unload %.*s %s\n", VXDLDR_NAME_SIZE, r->deviceName, e->status == 0 ? "ok" : "failed");
      } else {
        printf("code %lu\n", e->code);
      }
    }
  } else {
    fprintf(stderr, "unknown command %s\n", argv[1]);
    CloseHandle(loader);
    return 2;
  }
  CloseHandle(loader);
  return ok ? 0 : 1;
}
