// CNtServiceRegistrar: a kernel-driver service through the NT service control manager, or its
// registry key written and deleted directly.
#include "driver_registrar.h"

#include "bounded_text.h"
#include "registry_key.h"

CNtServiceRegistrar::CNtServiceRegistrar()
{
    // A virtual call in a constructor reaches this class's own OpenManager, the one meant here.
    if (!OpenManager())  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
        AddError("Cannot open service control manager\n");
}

CNtServiceRegistrar::~CNtServiceRegistrar()
{
    // A virtual call in a destructor reaches this class's own CloseManager, the one meant here.
    if (m_manager != NULL)
        CloseManager();  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
}

int CNtServiceRegistrar::OpenManager()
{
    m_manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    return m_manager != NULL ? 1 : 0;
}

void CNtServiceRegistrar::CloseManager()
{
    CloseServiceHandle(static_cast<SC_HANDLE>(m_manager));
    m_manager = NULL;
}

void CNtServiceRegistrar::SetNames(const char* name, const char* fileName, const char* imagePath)
{
    CDriverRegistrar::SetNames(name, fileName, imagePath);
    if (imagePath == NULL)
        SetSystemRootImagePath(fileName);
}

// The configured driver's service with full access; null without a manager, without a
// configuration, or when the service does not exist.
SC_HANDLE CNtServiceRegistrar::OpenDriverService()
{
    if (m_manager == NULL || !IsConfigured())
        return NULL;
    return OpenServiceA(static_cast<SC_HANDLE>(m_manager), m_name, SERVICE_ALL_ACCESS);
}

int CNtServiceRegistrar::Install()
{
    if (m_registryOnly)
        return InstallRegistryEntry();
    if (m_manager == NULL || !IsConfigured())
        return 0;
    // An existing service makes the creation fail (ERROR_SERVICE_EXISTS): callers remove first.
    ServiceHandle service(CreateServiceA(static_cast<SC_HANDLE>(m_manager), m_name, m_name,
                                         SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, m_startType,
                                         SERVICE_ERROR_NORMAL, m_imagePath, NULL, NULL, NULL, NULL,
                                         NULL));
    return service.Get() != NULL ? 1 : 0;
}

int CNtServiceRegistrar::Remove()
{
    if (m_registryOnly)
        return RemoveRegistryEntry();
    ServiceHandle service(OpenDriverService());
    if (service.Get() == NULL)
        return 0;
    // A service already marked for deletion goes away once its last handle closes: done already.
    return (DeleteService(service.Get()) || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE) ? 1
                                                                                               : 0;
}

int CNtServiceRegistrar::Load()
{
    ServiceHandle service(OpenDriverService());
    if (service.Get() == NULL)
        return 0;
    // A service that is already running fails the start (ERROR_SERVICE_ALREADY_RUNNING): 0 too.
    return StartServiceA(service.Get(), 0, NULL) ? 1 : 0;
}

int CNtServiceRegistrar::Unload()
{
    ServiceHandle service(OpenDriverService());
    if (service.Get() == NULL)
        return 0;
    SERVICE_STATUS status = {};
    // NT answers a stop of an idle service with ERROR_SERVICE_NOT_ACTIVE: it is stopped already.
    int stopped = ControlService(service.Get(), SERVICE_CONTROL_STOP, &status) ||
                  GetLastError() == ERROR_SERVICE_NOT_ACTIVE;
    // A driver that answers with STOP_PENDING (or anything but STOPPED) has not stopped: no waiting.
    if (status.dwCurrentState != SERVICE_STOPPED)
        stopped = 0;
    return stopped ? 1 : 0;
}

int CNtServiceRegistrar::InstallRegistryEntry()
{
    if (!IsConfigured())
        return 0;
    RegistryKey key(CreateDriverKey(kServicesKey, " already exists in Win-NT registry\n"));
    if (key.Get() == NULL)
        return 0;
    key.SetDword("Start", m_startType);
    key.SetDword("Type", SERVICE_KERNEL_DRIVER);
    key.SetDword("ErrorControl", SERVICE_ERROR_NORMAL);
    key.SetString("Group", "Extended Base");
    key.SetString("ImagePath", m_imagePath);
    key.SetString("DisplayName", m_name);
    return 1;
}

int CNtServiceRegistrar::RemoveRegistryEntry()
{
    if (!IsConfigured())
        return 0;
    return DeleteDriverKey(kServicesKey, " does not exist in Win-NT registry\n");
}
