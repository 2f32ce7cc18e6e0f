// CNtServiceRegistrar against Wine's service control manager and registry (Windows version
// winxp). The script copies windrvr.sys and failing_driver.sys into system32\drivers first.
// Every outcome is read back from the service control manager or the registry.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "driver_registrar.h"
#include "registrar_test_util.h"
#include "wine_test.h"

namespace {

char g_driverPath[MAX_PATH];
char g_failingPath[MAX_PATH];

CDriverRegistrar* NewConfigured(const char* name, const char* fileName, DWORD startType,
                                const char* imagePath, int registryOnly)
{
    CDriverRegistrar* registrar = CreateDriverRegistrar(0);
    ok(registrar != NULL, "CreateDriverRegistrar(0) gave no registrar");
    if (registrar == NULL)
        return NULL;
    ok(IsRegistrarClass<CNtServiceRegistrar>(registrar), "got %s", RegistrarClassName(registrar));
    ok(registrar->Configure(name, fileName, startType, imagePath, registryOnly) == 1,
       "Configure refused %s: %s", name, registrar->Messages());
    return registrar;
}

void TestServiceLifecycle()
{
    ok_state("WinDriver", kServiceMissing, "before the test");
    CDriverRegistrar* registrar = NewConfigured("WinDriver", "windrvr", 2, g_driverPath, 0);
    if (!registrar)
        return;

    ok(registrar->Install() == 1, "Install failed");
    ok_state("WinDriver", SERVICE_STOPPED, "after Install");
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceA(manager, "WinDriver", SERVICE_QUERY_CONFIG);
    union {
        QUERY_SERVICE_CONFIGA config;
        BYTE bytes[8192];
    } buffer;
    DWORD needed = 0;
    bool queried = service && QueryServiceConfigA(service, &buffer.config, sizeof buffer, &needed);
    ok(queried, "QueryServiceConfig failed: %lu", GetLastError());
    if (queried) {
        const QUERY_SERVICE_CONFIGA& config = buffer.config;
        ok(config.dwServiceType == SERVICE_KERNEL_DRIVER, "service type %lu", config.dwServiceType);
        ok(config.dwStartType == 2, "start type %lu", config.dwStartType);
        ok(config.dwErrorControl == SERVICE_ERROR_NORMAL, "error control %lu",
           config.dwErrorControl);
        ok(config.lpBinaryPathName && strcmp(config.lpBinaryPathName, g_driverPath) == 0,
           "binary path %s", config.lpBinaryPathName ? config.lpBinaryPathName : "(null)");
        ok(config.lpDisplayName && strcmp(config.lpDisplayName, "WinDriver") == 0,
           "display name %s", config.lpDisplayName ? config.lpDisplayName : "(null)");
        ok(!config.lpLoadOrderGroup || config.lpLoadOrderGroup[0] == '\0', "group %s",
           config.lpLoadOrderGroup);
    }
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);

    ok(registrar->Install() == 0, "second Install succeeded");
    ok(registrar->Load() == 1, "Load failed");
    ok_state("WinDriver", SERVICE_RUNNING, "after Load");
    ok(registrar->Load() == 0, "Load of a running driver succeeded");
    ok_state("WinDriver", SERVICE_RUNNING, "after second Load");
    ok(registrar->Unload() == 1, "Unload failed");
    ok_state("WinDriver", SERVICE_STOPPED, "after Unload");
    ok(registrar->Unload() == 1, "Unload of a stopped service failed");
    ok(registrar->Remove() == 1, "Remove failed");
    // Wine, like NT, keeps a deleted service while any handle to it is open: MISSING here also
    // says the registrar closed every service handle it opened.
    DWORD error = 0;
    DWORD state = ServiceState("WinDriver", &error);
    ok(state == kServiceMissing && error == ERROR_SERVICE_DOES_NOT_EXIST,
       "after Remove: state %lu, open error %lu", state, error);

    ok(registrar->Remove() == 0, "Remove of a missing service succeeded");
    ok(registrar->Unload() == 0, "Unload of a missing service succeeded");
    ok(registrar->Load() == 0, "Load of a missing service succeeded");
    ok(registrar->Install() == 1, "Install after Remove failed");
    ok(registrar->Remove() == 1, "Remove of the new service failed");
    ok_text(registrar, "", 0, 0);  // the service control manager path adds no text
    delete registrar;
}

// A service marked for deletion (another handle still open) counts as removed.
void TestRemoveMarkedForDeletion()
{
    CDriverRegistrar* registrar = NewConfigured("WinDriver", "windrvr", 3, g_driverPath, 0);
    if (!registrar)
        return;
    ok(registrar->Install() == 1, "Install failed");
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE held = OpenServiceA(manager, "WinDriver", SERVICE_ALL_ACCESS);
    ok(held != NULL, "cannot hold the service open: %lu", GetLastError());
    ok(registrar->Remove() == 1, "Remove failed");
    SetLastError(0xdeadbeef);
    SC_HANDLE probe = OpenServiceA(manager, "WinDriver", SERVICE_ALL_ACCESS);
    if (probe != NULL) {
        // The service is still there, marked for deletion: a second Remove meets
        // ERROR_SERVICE_MARKED_FOR_DELETE and counts it as done.
        SetLastError(0xdeadbeef);
        BOOL deleted = DeleteService(probe);
        DWORD error = GetLastError();
        ok(!deleted && error == ERROR_SERVICE_MARKED_FOR_DELETE,
           "second DeleteService: %d, error %lu", deleted, error);
        CloseServiceHandle(probe);
        ok(registrar->Remove() == 1, "Remove of a service marked for deletion failed");
    } else {
        trace("Wine does not open a service marked for deletion (error %lu); case skipped",
              GetLastError());
    }
    CloseServiceHandle(held);
    CloseServiceHandle(manager);
    ok_state("WinDriver", kServiceMissing, "after the last handle closed");
    delete registrar;
}

// A driver whose entry point fails: Load gives 0 and the service stays stopped.
void TestFailingDriver()
{
    CDriverRegistrar* registrar =
        NewConfigured("TalvenFailing", "failing_driver", 3, g_failingPath, 0);
    if (!registrar)
        return;
    ok(registrar->Install() == 1, "Install failed");
    ok(registrar->Load() == 0, "Load of a failing driver succeeded");
    ok_state("TalvenFailing", SERVICE_STOPPED, "after failed Load");
    ok(registrar->Unload() == 1, "Unload of the never-started service failed");
    ok(registrar->Remove() == 1, "Remove failed");
    delete registrar;
}

// No image path: the default \SystemRoot path, which the service control manager starts.
void TestDefaultImagePath()
{
    CDriverRegistrar* registrar = NewConfigured("WinDriver", "windrvr", 3, NULL, 0);
    if (!registrar)
        return;
    ok(strcmp(registrar->ImagePath(), "\\SystemRoot\\System32\\drivers\\windrvr.SYS") == 0,
       "default image path %s", registrar->ImagePath());
    ok(registrar->Install() == 1, "Install failed");
    ok(registrar->Load() == 1, "Load with the default path failed");
    ok_state("WinDriver", SERVICE_RUNNING, "after Load");
    ok(registrar->Unload() == 1, "Unload failed");
    ok(registrar->Remove() == 1, "Remove failed");
    delete registrar;
}

void CheckSixValues(const char* keyPath, DWORD startType)
{
    ok(MachineDwordIs(keyPath, "Start", startType), "Start");
    ok(MachineDwordIs(keyPath, "Type", 1), "Type");
    ok(MachineDwordIs(keyPath, "ErrorControl", 1), "ErrorControl");
    ok(MachineStringIs(keyPath, "Group", "Extended Base"), "Group");
    ok(MachineStringIs(keyPath, "ImagePath", g_driverPath), "ImagePath");
    ok(MachineStringIs(keyPath, "DisplayName", "WinDriver"), "DisplayName");
}

// registryOnly: Install and Remove write and delete the key; Load and Unload still go through
// the service control manager.
void TestRegistryOnly()
{
    const char keyPath[] = "System\\CurrentControlSet\\Services\\WinDriver";
    ok(OpenMachineKeyResult(keyPath) == ERROR_FILE_NOT_FOUND, "key exists before the test");

    CDriverRegistrar* registrar = NewConfigured("WinDriver", "windrvr", 2, g_driverPath, 1);
    if (!registrar)
        return;
    ok(registrar->Install() == 1, "registry-only Install failed");
    ok_text(registrar, "", 0, 0);
    CheckSixValues(keyPath, 2);

    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        DWORD changed = 4;
        RegSetValueExA(key, "Start", 0, REG_DWORD, reinterpret_cast<BYTE*>(&changed), 4);
        RegSetValueExA(key, "ImagePath", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
        RegCloseKey(key);
    }
    ok(registrar->Install() == 1, "registry-only Install over an existing key failed");
    ok_text(registrar, "WinDriver already exists in Win-NT registry\n", 1, 0);
    CheckSixValues(keyPath, 2);

    ok(registrar->Remove() == 1, "registry-only Remove failed");
    ok(OpenMachineKeyResult(keyPath) == ERROR_FILE_NOT_FOUND, "key left after Remove");
    ok(registrar->Messages()[0] == '\0', "Remove kept text: %s", registrar->Messages());
    ok(registrar->Remove() == 0, "registry-only Remove of a missing key succeeded");
    ok_text(registrar, "WinDriver does not exist in Win-NT registry\n", 0, 1);

    // The service through the service control manager; the registry-only registrar starts it.
    CDriverRegistrar* service = NewConfigured("WinDriver", "windrvr", 3, g_driverPath, 0);
    if (service) {
        ok(service->Install() == 1, "Install through the service control manager failed");
        ok(registrar->Load() == 1, "registry-only registrar's Load failed");
        ok_state("WinDriver", SERVICE_RUNNING, "after the registry-only Load");
        ok(registrar->Unload() == 1, "registry-only registrar's Unload failed");
        ok_state("WinDriver", SERVICE_STOPPED, "after the registry-only Unload");
        ok(service->Remove() == 1, "Remove failed");
        delete service;
    }
    ok_state("WinDriver", kServiceMissing, "at the end");
    delete registrar;
}

}  // namespace

int main()
{
    char drivers[MAX_PATH];
    UINT length = GetSystemDirectoryA(drivers, sizeof drivers);
    ok(length > 0 && length < sizeof drivers, "GetSystemDirectoryA: %u", length);
    snprintf(g_driverPath, sizeof g_driverPath, "%s\\drivers\\windrvr.sys", drivers);
    snprintf(g_failingPath, sizeof g_failingPath, "%s\\drivers\\failing_driver.sys", drivers);
    ok(GetFileAttributesA(g_driverPath) != INVALID_FILE_ATTRIBUTES, "%s is missing", g_driverPath);
    ok(GetWindowsKind() == kWindowsXP, "GetWindowsKind %d", GetWindowsKind());

    TestServiceLifecycle();
    TestRemoveMarkedForDeletion();
    TestFailingDriver();
    TestDefaultImagePath();
    TestRegistryOnly();
    return test_summary();
}
