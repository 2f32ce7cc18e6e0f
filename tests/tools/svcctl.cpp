// Test tool run under Wine by the scenario scripts: creates, starts, stops and deletes a kernel
// driver service and reports a service's state, all through the service control manager.
//
//   svcctl create NAME PATH [START]   kernel-driver service, start type START (default 3, demand)
//   svcctl start NAME | stop NAME | delete NAME
//   svcctl state NAME                 prints RUNNING, STOPPED, START_PENDING, ... or MISSING
//   svcctl wait NAME STATE [MS]       returns once the service is in STATE (one of the names
//                                     state prints), looking every 10 ms, at most MS (30000), and
//                                     prints each state as it first sees it, the first at once:
//                                     a scenario can act the moment another program gets there
//   svcctl hold NAME SECONDS          keeps the service open for SECONDS after printing "holding
//                                     NAME": deleted meanwhile, it stays marked for deletion, so
//                                     that a new CreateServiceA of the name fails (1072)
//
// Prints one line (wait: one per state seen); exit code 0 when the call succeeded, 1 when the
// system refused it (the line carries the error code) or a wait timed out, 2 for a usage error.
#include <windows.h>

#include "registry_key.h"  // ServiceHandle: closes a service handle once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// By the value of SERVICE_STOPPED (1) to SERVICE_PAUSED (7).
const char* StateName(DWORD state)
{
    static const char* const kNames[] = {"UNKNOWN",       "STOPPED", "START_PENDING",
                                         "STOP_PENDING",  "RUNNING", "CONTINUE_PENDING",
                                         "PAUSE_PENDING", "PAUSED"};
    return state < sizeof kNames / sizeof kNames[0] ? kNames[state] : "UNKNOWN";
}

// The state's name as "svcctl state" prints it, or NULL when the service cannot be asked.
const char* CurrentState(SC_HANDLE manager, const char* name)
{
    ServiceHandle service(OpenServiceA(manager, name, SERVICE_QUERY_STATUS));
    if (!service.Get())
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? "MISSING" : NULL;
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service.Get(), &status))
        return NULL;
    return StateName(status.dwCurrentState);
}

int Fail(const char* what, const char* name)
{
    printf("%s %s: error %lu\n", what, name, GetLastError());
    return 1;
}

int Usage()
{
    printf("usage: svcctl create NAME PATH [START] | start|stop|delete|state NAME | hold NAME "
           "SECONDS | wait NAME STATE [MS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const char* command = argv[1];
    const char* name = argv[2];

    ServiceHandle manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS));
    if (!manager.Get())
        return Fail("OpenSCManager", name);

    if (strcmp(command, "create") == 0) {
        if (argc < 4)
            return Usage();
        DWORD start = argc > 4 ? strtoul(argv[4], NULL, 10) : SERVICE_DEMAND_START;
        ServiceHandle service(CreateServiceA(manager.Get(), name, name, SERVICE_ALL_ACCESS,
                                             SERVICE_KERNEL_DRIVER, start, SERVICE_ERROR_NORMAL,
                                             argv[3], NULL, NULL, NULL, NULL, NULL));
        if (!service.Get())
            return Fail("create", name);
        printf("create %s: ok\n", name);
        return 0;
    }

    if (strcmp(command, "state") == 0) {
        const char* state = CurrentState(manager.Get(), name);
        if (!state)
            return Fail("query", name);
        printf("%s\n", state);
        return 0;
    }
    if (strcmp(command, "wait") == 0) {
        if (argc < 4)
            return Usage();
        const DWORD timeoutMs = argc > 4 ? strtoul(argv[4], NULL, 10) : 30000;
        const DWORD start = GetTickCount();
        const char* shown = NULL;
        for (;;) {
            const char* state = CurrentState(manager.Get(), name);
            if (!state)
                return Fail("query", name);
            if (!shown || strcmp(state, shown) != 0) {  // each state once, as it is first seen
                printf("%s\n", state);
                fflush(stdout);
                shown = state;
            }
            if (strcmp(state, argv[3]) == 0)
                return 0;
            if (GetTickCount() - start >= timeoutMs)
                return 1;
            Sleep(10);
        }
    }

    ServiceHandle service(OpenServiceA(manager.Get(), name, SERVICE_ALL_ACCESS));
    if (!service.Get())
        return Fail("open", name);

    if (strcmp(command, "hold") == 0 && argc == 4) {
        printf("holding %s\n", name);
        fflush(stdout);
        Sleep(strtoul(argv[3], NULL, 10) * 1000);
        return 0;
    }
    SERVICE_STATUS status;
    BOOL done = FALSE;
    if (strcmp(command, "start") == 0)
        done = StartServiceA(service.Get(), 0, NULL);
    else if (strcmp(command, "stop") == 0)
        done = ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
    else if (strcmp(command, "delete") == 0)
        done = DeleteService(service.Get());
    else
        return Usage();
    if (!done)
        return Fail(command, name);
    printf("%s %s: ok\n", command, name);
    return 0;
}
