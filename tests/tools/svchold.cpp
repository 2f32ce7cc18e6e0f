// svchold: keeps a handle to a service open for a while, so that the service, once deleted,
// stays marked for deletion and a new CreateServiceA of the same name fails with
// ERROR_SERVICE_MARKED_FOR_DELETE (1072). Used by the setup scenarios to make a driver's
// registration fail.
//
//   svchold NAME SECONDS    prints "holding NAME" once the handle is open, exits after SECONDS
// Exit code 0, 1 when the service cannot be opened, 2 for a usage error.
#include <windows.h>

#include "registry_key.h"  // ServiceHandle: closes a service handle once

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
  setvbuf(stdout, NULL, _IONBF, 0);
  if (argc != 3) {
    printf("usage: svchold NAME SECONDS\n");
    return 2;
  }
  ServiceHandle manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT));
  if (!manager.Get()) {
    printf("OpenSCManager: error %lu\n", GetLastError());
    return 1;
  }
  ServiceHandle service(OpenServiceA(manager.Get(), argv[1], SERVICE_QUERY_STATUS));
  if (!service.Get()) {
    printf("open %s: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  printf("holding %s\n", argv[1]);
  Sleep(strtoul(argv[2], NULL, 10) * 1000);
  return 0;
}
