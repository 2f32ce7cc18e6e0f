// CWin98SysRegistrar: a .SYS driver's Windows 98 service key; Windows 98 cannot start or stop it
// without a reboot.
#include "driver_registrar.h"

#include "bounded_text.h"
#include "registry_key.h"

namespace {

// How both warnings end: the text is appended to the messages, so it is stored once.
const char kReboot98Advice[] = "This is a Windows 98 limitation. Please reboot the system.\n"
                               "For a reboot free installation on 98, use the -VXD option\n";

// There is no manager to open: m_manager holds this marker once constructed.
HANDLE const kNoManagerNeeded = reinterpret_cast<HANDLE>(1);

}  // namespace

CWin98SysRegistrar::CWin98SysRegistrar()
{
    // A virtual call in a constructor reaches this class's own OpenManager, the one meant here.
    if (!OpenManager())  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
        AddError("Cannot open service control manager\n");
}

CWin98SysRegistrar::~CWin98SysRegistrar() {}

int CWin98SysRegistrar::OpenManager()
{
    m_manager = kNoManagerNeeded;
    return 1;
}

void CWin98SysRegistrar::CloseManager() {}

void CWin98SysRegistrar::SetNames(const char* name, const char* fileName, const char* imagePath)
{
    CDriverRegistrar::SetNames(name, fileName, imagePath);
    if (imagePath == NULL)
        SetSystemRootImagePath(fileName);
}

int CWin98SysRegistrar::Install()
{
    if (!IsConfigured())
        return 0;
    RegistryKey key(CreateDriverKey(kServicesKey, " already exists in Win-98 registry\n"));
    if (key.Get() == NULL)
        return 0;
    key.SetBinaryNumber("Start", m_startType);
    key.SetBinaryNumber("Type", SERVICE_KERNEL_DRIVER);
    key.SetBinaryNumber("ErrorControl", SERVICE_ERROR_NORMAL);
    key.SetString("ImagePath", m_imagePath);
    key.SetString("DisplayName", m_name);
    return 1;
}

int CWin98SysRegistrar::Remove()
{
    if (!IsConfigured())
        return 0;
    return DeleteDriverKey(kServicesKey, " does not exist in Win-98 registry\n");
}

int CWin98SysRegistrar::Load()
{
    AddWarning("Dynamic Loading of (SYS) driver not available for WIN 98.\n");
    AddWarning(kReboot98Advice);
    return 0;
}

int CWin98SysRegistrar::Unload()
{
    AddWarning("Dynamic unloading of (SYS)driver not available for WIN 98.\n");
    AddWarning(kReboot98Advice);
    return 0;
}
