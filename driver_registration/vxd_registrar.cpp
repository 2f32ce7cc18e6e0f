// CVxdRegistrar: a static VxD under the VxD key, loaded and unloaded at once through the
// Windows 9x VxD loader device.
#include "driver_registrar.h"

#include "bounded_text.h"
#include "registry_key.h"

#include <string.h>

namespace {

const char kUnloadFailed[] = "Could not unload driver, or driver was previously loaded.\n";

}  // namespace

CVxdRegistrar::CVxdRegistrar()
{
    // A virtual call in a constructor reaches this class's own OpenManager, the one meant here.
    if (!OpenManager())  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
        AddError("Cannot open service control manager\n");
}

CVxdRegistrar::~CVxdRegistrar()
{
    // A virtual call in a destructor reaches this class's own CloseManager, the one meant here.
    if (m_manager != NULL)
        CloseManager();  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
}

int CVxdRegistrar::OpenManager()
{
    if (m_manager != NULL)
        return 0;
    HANDLE device =
        CreateFileA("\\\\.\\VXDLDR", 0, 0, NULL, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    m_manager = device == INVALID_HANDLE_VALUE ? NULL : device;
    return m_manager != NULL ? 1 : 0;
}

void CVxdRegistrar::CloseManager()
{
    CloseHandle(m_manager);
    m_manager = NULL;
}

void CVxdRegistrar::SetNames(const char* name, const char* fileName, const char* imagePath)
{
    CDriverRegistrar::SetNames(name, fileName, imagePath);
    if (imagePath != NULL)
        return;
    char systemDir[kDriverPathSize];
    UINT length = GetSystemDirectoryA(systemDir, sizeof systemDir);
    if (length == 0 || length >= sizeof systemDir)
        return;  // no usable system directory: no default path
    const char* separator = systemDir[length - 1] == '\\' ? "" : "\\";
    // A path that does not fit is refused whole: the registrar is then left without a default.
    char directory[kDriverPathSize];
    if (!JoinText(directory, sizeof directory, systemDir, separator) ||
        !JoinText(m_imagePath, sizeof m_imagePath, directory, "Vmm32\\", m_fileName, ".VXD"))
        m_imagePath[0] = '\0';
}

int CVxdRegistrar::Install()
{
    // "*" and a configured file name always fit; checked before the key is touched all the same.
    char staticVxd[1 + kNameSize];
    if (!IsConfigured() || !JoinText(staticVxd, sizeof staticVxd, "*", m_fileName))
        return 0;
    RegistryKey key(CreateDriverKey(kVxdKey, " already exists in Win-95 registry\n"));
    if (key.Get() == NULL)
        return 0;
    const BYTE start = 0;
    key.SetBinary("Start", &start, 1);
    key.SetString("StaticVxD", staticVxd);
    return 1;
}

int CVxdRegistrar::Remove()
{
    if (!IsConfigured())
        return 0;
    return DeleteDriverKey(kVxdKey, " does not exist in Win-95 registry\n");
}

int CVxdRegistrar::Load()
{
    if (m_manager == NULL || !IsConfigured())
        return 0;
    DWORD returned = 0;
    return DeviceIoControl(m_manager, kVxdLoaderLoad, m_imagePath,
                           static_cast<DWORD>(strlen(m_imagePath) + 1), NULL, 0, &returned, NULL)
               ? 1
               : 0;
}

// The loader unloads one load per request, so a VxD loaded several times takes as many requests;
// a loader that never says no is given up on after kMaxUnloadRequests.
int CVxdRegistrar::Unload()
{
    if (m_manager == NULL || !IsConfigured())
        return 0;
    VxdUnloadRequest request;
    memset(&request, 0, sizeof request);
    request.deviceId = 0xFFFFFFFF;
    if (!CopyText(request.deviceName, sizeof request.deviceName, m_fileName)) {
        AddWarning(kUnloadFailed);  // a name the loader cannot hold was never loaded under it
        return 0;
    }
    for (char* c = request.deviceName; *c != '\0'; ++c) {
        if (*c >= 'a' && *c <= 'z')
            *c = static_cast<char>(*c - 'a' + 'A');
    }

    int accepted = 0;
    while (accepted < kMaxUnloadRequests) {
        DWORD returned = 0;
        if (!DeviceIoControl(m_manager, kVxdLoaderUnload, &request, sizeof request, NULL, 0,
                             &returned, NULL))
            break;
        ++accepted;
    }
    if (accepted == 0)
        AddWarning(kUnloadFailed);
    return (accepted >= 1 && accepted < kMaxUnloadRequests) ? 1 : 0;
}
