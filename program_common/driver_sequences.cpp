// ReplaceDriver, RemoveDriver, the system's answer about what is left of a driver, and the question
// whether a service is marked for deletion.
#include "driver_sequences.h"

#include "bounded_text.h"
#include "registry_key.h"
#include "system_function.h"

namespace {

// kDriverStillRegistered, with kDriverAccessDenied when the call that just failed was refused
// for lack of rights.
int StillRegistered()
{
    return GetLastError() == ERROR_ACCESS_DENIED ? kDriverStillRegistered | kDriverAccessDenied
                                                 : kDriverStillRegistered;
}

// 1 only when the system says that the VxD key of name does not exist.
int VxdKeyIsGone(const char* name)
{
    char path[CDriverRegistrar::kKeyPathSize];
    HKEY key = NULL;
    if (!JoinText(path, sizeof path, CDriverRegistrar::kVxdKey, name))
        return 0;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key);
    RegistryKey owner(status == ERROR_SUCCESS ? key : NULL);
    return status == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

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
    // A static VxD loaded at boot cannot be unloaded: with its key gone it still runs until the
    // restart. Windows 95/98 cannot be asked whether a VxD runs, so a registered VxD whose unload
    // the loader refused counts as running.
    const int wasRegistered = preferVxd && !VxdKeyIsGone(name);
    int unloaded = 0;
    int removed = 0;
    if (registrar != NULL) {
        unloaded = registrar->Unload();
        pause(1000);
        removed = registrar->Remove();
    }
    int leftovers = DriverLeftovers(preferVxd, name, removed);
    if (wasRegistered && !unloaded)
        leftovers |= kDriverStillRunning;
    return leftovers;
}

int DriverLeftovers(int preferVxd, const char* name, int removed)
{
    if (preferVxd)
        return VxdKeyIsGone(name) ? kDriverGone : kDriverStillRegistered;

    // What cannot be looked at is never reported as gone.
    ServiceHandle manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT));
    if (manager.Get() == NULL)
        return StillRegistered();
    ServiceHandle service(OpenServiceA(manager.Get(), name, SERVICE_QUERY_STATUS));
    if (service.Get() == NULL) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST)
            return kDriverGone;
        return error == ERROR_SERVICE_MARKED_FOR_DELETE ? kDriverRemovalPending : StillRegistered();
    }
    // A deleted service that is still there is only marked: it goes when it has stopped and its
    // last handle is closed, for a driver that would not stop at the next restart.
    int leftovers = kDriverRemovalPending;
    if (!removed) {
        // Remove does not say why it failed: the service is opened again as Remove opens it,
        // with full access. A handle with that access leaves DeleteService nothing to refuse for
        // lack of rights, so a refusal for lack of rights shows here.
        ServiceHandle full(OpenServiceA(manager.Get(), name, SERVICE_ALL_ACCESS));
        leftovers = full.Get() != NULL ? kDriverStillRegistered : StillRegistered();
    }
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service.Get(), &status) || status.dwCurrentState != SERVICE_STOPPED)
        leftovers |= kDriverStillRunning;
    return leftovers;
}

int IsServiceMarkedForDeletion(const char* name)
{
    // No query reports the mark: a service marked for deletion still opens and answers its status,
    // but refuses any change of its configuration with ERROR_SERVICE_MARKED_FOR_DELETE. A change
    // of nothing (SERVICE_NO_CHANGE and null for every value) asks without changing anything.
    // Looked up at run time: the import table keeps only what every Windows 95 exports.
    typedef BOOL(WINAPI * ChangeConfigFunction)(SC_HANDLE, DWORD, DWORD, DWORD, LPCSTR, LPCSTR,
                                                LPDWORD, LPCSTR, LPCSTR, LPCSTR, LPCSTR);
    ChangeConfigFunction changeConfig =
        FindSystemFunction<ChangeConfigFunction>("advapi32.dll", "ChangeServiceConfigA");
    if (changeConfig == NULL)
        return 0;

    ServiceHandle manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT));
    if (manager.Get() == NULL)
        return 0;
    ServiceHandle service(OpenServiceA(manager.Get(), name, SERVICE_CHANGE_CONFIG));
    if (service.Get() == NULL)
        return GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE ? 1 : 0;
    if (changeConfig(service.Get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, NULL,
                     NULL, NULL, NULL, NULL, NULL, NULL))
        return 0;
    return GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE ? 1 : 0;
}
