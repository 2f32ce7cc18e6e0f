// ReplaceDriver, RemoveDriver and the system's answer about what is left of a driver.
#include "driver_sequences.h"

#include "bounded_text.h"
#include "registry_key.h"

namespace {

const char kVxdKey[] = "System\\CurrentControlSet\\Services\\VxD\\";

}  // namespace

int ReplaceDriver(CDriverRegistrar* registrar, PauseFunction pause)
{
    if (registrar == NULL)
        return 2;
    int failures = 0;
    registrar->Unload();
    registrar->Remove();
    pause(1000);
    if (!registrar->Install())
        ++failures;
    if (!registrar->Load())
        ++failures;
    return failures;
}

int RemoveDriver(CDriverRegistrar* registrar, int preferVxd, const char* name, PauseFunction pause)
{
    int removed = 0;
    if (registrar != NULL) {
        registrar->Unload();
        pause(1000);
        removed = registrar->Remove();
    }
    return DriverLeftovers(preferVxd, name, removed);
}

int DriverLeftovers(int preferVxd, const char* name, int removed)
{
    if (preferVxd) {
        // Windows 95/98 cannot be asked whether a VxD still runs: the loader's refusal to unload
        // one means that it was not loaded under that name, or that it cannot be unloaded. Only
        // the VxD key tells.
        char path[CDriverRegistrar::kKeyPathSize];
        HKEY key = NULL;
        if (!JoinText(path, sizeof path, kVxdKey, name))
            return kDriverStillRegistered;
        LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key);
        RegistryKey owner(status == ERROR_SUCCESS ? key : NULL);
        return status == ERROR_FILE_NOT_FOUND ? kDriverGone : kDriverStillRegistered;
    }

    // What cannot be looked at is never reported as gone.
    ServiceHandle manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT));
    if (manager.Get() == NULL)
        return kDriverStillRegistered;
    ServiceHandle service(OpenServiceA(manager.Get(), name, SERVICE_QUERY_STATUS));
    if (service.Get() == NULL) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST)
            return kDriverGone;
        return error == ERROR_SERVICE_MARKED_FOR_DELETE ? kDriverRemovalPending
                                                        : kDriverStillRegistered;
    }
    // A deleted service that is still there is only marked: it goes when it has stopped and its
    // last handle is closed, for a driver that would not stop at the next restart.
    int leftovers = removed ? kDriverRemovalPending : kDriverStillRegistered;
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service.Get(), &status) || status.dwCurrentState != SERVICE_STOPPED)
        leftovers |= kDriverStillRunning;
    return leftovers;
}
