// vxdldr_log: reads what the test VxD loader (tests/drivers/vxdldr_fake.c) received, for the
// scenarios that run setup and uninstall on Windows 98 against it.
//
//   vxdldr_log reset        clear the log and the load counts
//   vxdldr_log log          one line per request received since the last reset:
//                             load PATH (input N bytes): STATUS
//                             unload NAME (id 0xXXXXXXXX, input N bytes): STATUS
//                           then "total N"
//   vxdldr_log count NAME   the load count of NAME (upper case, no extension)
// Exit code 0 on success, 1 when the loader cannot be opened or refuses, 2 for a usage error.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vxdldr_protocol.h"

namespace {

class CFileHandle {
 public:
  explicit CFileHandle(HANDLE handle) : m_handle(handle) {}
  ~CFileHandle() {
    if (m_handle != INVALID_HANDLE_VALUE)
      CloseHandle(m_handle);
  }
  CFileHandle(const CFileHandle &) = delete;
  CFileHandle &operator=(const CFileHandle &) = delete;
  HANDLE Get() const { return m_handle; }

 private:
  HANDLE m_handle;
};

int Refused(const char *what) {
  printf("%s: error %lu\n", what, GetLastError());
  return 1;
}

void PrintEntry(const VXDLDR_LOG_ENTRY &entry) {
  const char *status = entry.status == 0 ? "ok" : "refused";
  if (entry.code == VXDLDR_LOAD) {
    char path[VXDLDR_LOG_INPUT + 1];
    memcpy(path, entry.input, VXDLDR_LOG_INPUT);
    path[VXDLDR_LOG_INPUT] = '\0';
    printf("load %s (input %lu bytes): %s\n", path, entry.inputLength, status);
  } else if (entry.code == VXDLDR_UNLOAD && entry.inputLength >= 4) {
    VXDLDR_UNLOAD_REQUEST request;
    memcpy(&request, entry.input, sizeof request);
    request.deviceName[VXDLDR_NAME_SIZE - 1] = '\0';
    printf("unload %s (id 0x%08lX, input %lu bytes): %s\n", request.deviceName,
           request.deviceId, entry.inputLength, status);
  } else {
    printf("code 0x%lX (input %lu bytes): %s\n", entry.code, entry.inputLength, status);
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2 || (strcmp(argv[1], "count") == 0 && argc < 3)) {
    printf("usage: vxdldr_log reset | log | count NAME\n");
    return 2;
  }
  CFileHandle loader(CreateFileA("\\\\.\\VXDLDR", GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                 OPEN_EXISTING, 0, NULL));
  if (loader.Get() == INVALID_HANDLE_VALUE)
    return Refused("open \\\\.\\VXDLDR");
  DWORD returned = 0;

  if (strcmp(argv[1], "reset") == 0) {
    ULONG acceptAll = 0;
    if (!DeviceIoControl(loader.Get(), VXDLDR_IOCTL_RESET, &acceptAll, sizeof acceptAll, NULL, 0,
                         &returned, NULL))
      return Refused("reset");
    printf("reset\n");
    return 0;
  }
  if (strcmp(argv[1], "count") == 0) {
    VXDLDR_COUNT request;
    memset(&request, 0, sizeof request);
    snprintf(request.name, sizeof request.name, "%s", argv[2]);
    if (!DeviceIoControl(loader.Get(), VXDLDR_IOCTL_GET_COUNT, &request, sizeof request, &request,
                         sizeof request, &returned, NULL))
      return Refused("count");
    printf("%lu\n", request.count);
    return 0;
  }
  if (strcmp(argv[1], "log") == 0) {
    VXDLDR_LOG *log = (VXDLDR_LOG *)calloc(1, sizeof(VXDLDR_LOG));
    if (!log)
      return 1;
    if (!DeviceIoControl(loader.Get(), VXDLDR_IOCTL_GET_LOG, NULL, 0, log, sizeof *log,
                         &returned, NULL)) {
      free(log);
      return Refused("log");
    }
    for (unsigned long i = 0; i < log->stored; ++i)
      PrintEntry(log->entries[i]);
    printf("total %lu\n", log->total);
    free(log);
    return 0;
  }
  printf("usage: vxdldr_log reset | log | count NAME\n");
  return 2;
}
