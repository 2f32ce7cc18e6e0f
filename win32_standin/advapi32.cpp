// The advapi32 side of the stand-in: the registry (keys by full path, compared without regard to
// case) and the service control manager with its kernel-driver services.
#include "machine_internal.h"

#include <string.h>

using sim::machine;
using namespace sim::detail;

namespace {

const DWORD kServiceInterrogate = 0x0080;
const LSTATUS kRpcServerUnavailable = 1722;
const DWORD kDatabaseDoesNotExist = 1065;
const size_t kMaxKeyNameLength = 255;
const size_t kMaxServiceNameLength = 256;

// Registry

// The predefined roots are the handle values HKEY_CLASSES_ROOT to HKEY_USERS, in this order.
const char* RootName(HKEY key)
{
    static const char* const kRoots[] = {"HKCR", "HKCU", "HKLM", "HKU"};
    uintptr_t index =
        reinterpret_cast<uintptr_t>(key) - reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
    return index < 4 ? kRoots[index] : nullptr;
}

// A key as the calls see it: its full path, whether it is a predefined root, the access its
// handle was opened with, and the relative path of the subkey a call names, split.
struct KeyRef {
    std::string path;
    bool isRoot = false;
    DWORD access = KEY_ALL_ACCESS;
    std::vector<std::string> parts;
};

// The full path behind `key`, a predefined root or an open key handle.
LSTATUS ResolveKey(HKEY key, KeyRef* ref)
{
    const char* root = RootName(key);
    if (root != nullptr) {
        ref->path = root;
        ref->isRoot = true;
        return ERROR_SUCCESS;
    }
    HandleEntry* entry = FindHandle(key, kRegKeyHandle);
    if (entry == nullptr)
        return ERROR_INVALID_HANDLE;
    if (machine().registry.count(entry->target) == 0)
        return ERROR_KEY_DELETED;
    ref->path = entry->target;
    ref->access = entry->access;
    return ERROR_SUCCESS;
}

// Splits a relative key path. A leading backslash, an empty name inside the path and a name longer
// than 255 characters are refused as Windows refuses them; one trailing backslash is tolerated.
LSTATUS SplitSubKey(const char* subKey, std::vector<std::string>* parts)
{
    parts->clear();
    if (subKey == nullptr || subKey[0] == '\0')
        return ERROR_SUCCESS;
    if (subKey[0] == '\\')
        return ERROR_BAD_PATHNAME;
    std::string text(subKey);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos)
            end = text.size();
        if (end == start)
            return ERROR_BAD_PATHNAME;
        if (end - start > kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        parts->push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

// Logs a registry call, then resolves `key` and splits `subKey` (none for the value calls) below
// it; the armed error when the call is to fail.
LSTATUS EnterKeyCall(const char* function, HKEY key, LPCSTR subKey, KeyRef* ref)
{
    DWORD error;
    if (EnterCall(function, &error))
        return static_cast<LSTATUS>(error);
    LSTATUS status = ResolveKey(key, ref);
    return status != ERROR_SUCCESS ? status : SplitSubKey(subKey, &ref->parts);
}

LSTATUS OpenOrCreateKey(const char* function, HKEY key, LPCSTR subKey, REGSAM access, bool create,
                        PHKEY result, LPDWORD disposition)
{
    KeyRef ref;
    LSTATUS status = EnterKeyCall(function, key, subKey, &ref);
    if (status != ERROR_SUCCESS)
        return status;
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    auto& registry = machine().registry;
    bool created = false;
    for (const std::string& part : ref.parts) {
        ref.path += "\\" + part;
        if (registry.count(ref.path) == 0) {
            if (!create)
                return ERROR_FILE_NOT_FOUND;
            registry[ref.path];
            created = true;
        }
    }
    if (ref.parts.empty() && ref.isRoot) {
        *result = key;  // opening a root again gives the root
    } else {
        auto stored = registry.find(ref.path);
        *result = static_cast<HKEY>(OpenHandle(kRegKeyHandle, stored->first, access));
    }
    if (disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

// The value calls of both character sets: a value's data is the bytes the caller gave, so a string
// written through the wide functions is stored as UTF-16LE, and nothing is converted between them.
LSTATUS SetValue(const char* function, HKEY key, const std::string& name, DWORD type,
                 const BYTE* data, DWORD size)
{
    KeyRef ref;
    LSTATUS status = EnterKeyCall(function, key, nullptr, &ref);
    if (status != ERROR_SUCCESS)
        return status;
    if (ref.isRoot || (ref.access & KEY_SET_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    if (data == nullptr && size != 0)
        return ERROR_NOACCESS;
    sim::RegValue& value = machine().registry[ref.path].values[name];
    value.type = type;
    value.data.assign(data, data + size);  // reads exactly the bytes the caller claims
    machine().valueWrites.push_back(ref.path + ":" + name);
    return ERROR_SUCCESS;
}

LSTATUS QueryValue(const char* function, HKEY key, const std::string& name, LPDWORD type,
                   LPBYTE data, LPDWORD size)
{
    KeyRef ref;
    LSTATUS status = EnterKeyCall(function, key, nullptr, &ref);
    if (status != ERROR_SUCCESS)
        return status;
    if ((ref.access & KEY_QUERY_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    if (data != nullptr && size == nullptr)
        return ERROR_INVALID_PARAMETER;
    const sim::RegValue* value = sim::FindValue(ref.path, name);
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (type != nullptr)
        *type = value->type;
    DWORD needed = static_cast<DWORD>(value->data.size());
    if (size == nullptr)
        return ERROR_SUCCESS;
    DWORD room = *size;
    *size = needed;
    if (data == nullptr)
        return ERROR_SUCCESS;
    if (room < needed)
        return ERROR_MORE_DATA;
    if (needed != 0)
        memcpy(data, value->data.data(), needed);
    if (machine().afterValueRead)
        machine().afterValueRead();
    return ERROR_SUCCESS;
}

// A wide value name, its characters outside ASCII as '?' (the names used are ASCII).
std::string NarrowName(LPCWSTR name)
{
    std::string narrow;
    for (; name != nullptr && *name != 0; ++name)
        narrow += *name < 0x80 ? static_cast<char>(*name) : '?';
    return narrow;
}

// Service control manager

// The service behind the open service handle `handle` with `access` granted; sets the error and
// returns null otherwise.
sim::Service* ServiceFor(SC_HANDLE handle, DWORD access)
{
    auto& services = machine().services;
    HandleEntry* entry = FindHandle(handle, kServiceHandle);
    auto it = entry == nullptr ? services.end() : services.find(entry->target);
    if (it == services.end())
        return Refuse(ERROR_INVALID_HANDLE, nullptr);
    if ((entry->access & access) != access)
        return Refuse(ERROR_ACCESS_DENIED, nullptr);
    return &it->second;
}

void FillStatus(const sim::Service& service, LPSERVICE_STATUS status)
{
    memset(status, 0, sizeof *status);
    status->dwServiceType = service.serviceType;
    status->dwCurrentState = service.state;
    status->dwControlsAccepted = service.state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
}

bool ValidServiceName(const char* name)
{
    size_t length = name == nullptr ? 0 : strlen(name);
    return length != 0 && length <= kMaxServiceNameLength && strpbrk(name, "\\/") == nullptr;
}

// A service marked for deletion goes away once it is stopped and its last handle is closed.
void CollectService(const std::string& name)
{
    auto it = machine().services.find(name);
    if (it != machine().services.end() && it->second.markedForDeletion &&
        it->second.state == SERVICE_STOPPED && OpenHandlesTo(kServiceHandle, it->first) == 0)
        machine().services.erase(it);
}

}  // namespace

extern "C" {

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access,
                        LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition)
{
    return OpenOrCreateKey("RegCreateKeyExA", key, subKey, access, true, result, disposition);
}

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    return OpenOrCreateKey("RegOpenKeyExA", key, subKey, access, false, result, nullptr);
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    return SetValue("RegSetValueExA", key, valueName == nullptr ? "" : valueName, type, data, size);
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                         LPDWORD size)
{
    return QueryValue("RegQueryValueExA", key, valueName == nullptr ? "" : valueName, type, data,
                      size);
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    return SetValue("RegSetValueExW", key, NarrowName(valueName), type, data, size);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                         LPDWORD size)
{
    return QueryValue("RegQueryValueExW", key, NarrowName(valueName), type, data, size);
}

// NT refuses to delete a key that has subkeys; Windows 95/98 delete the whole tree.
LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    KeyRef ref;
    LSTATUS status = EnterKeyCall("RegDeleteKeyA", key, subKey, &ref);
    if (status != ERROR_SUCCESS)
        return status;
    if (subKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (ref.parts.empty() && ref.isRoot)
        return ERROR_ACCESS_DENIED;
    for (const std::string& part : ref.parts)
        ref.path += "\\" + part;
    auto& registry = machine().registry;
    if (registry.count(ref.path) == 0)
        return ERROR_FILE_NOT_FOUND;
    // The subkeys follow their key in the registry's order.
    std::string prefix = ref.path + "\\";
    auto below = registry.lower_bound(prefix);
    bool hasSubkeys = below != registry.end() && StartsWithNoCase(below->first, prefix);
    if (hasSubkeys && machine().version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS)
        return ERROR_ACCESS_DENIED;
    while (below != registry.end() && StartsWithNoCase(below->first, prefix))
        below = registry.erase(below);
    registry.erase(ref.path);
    return ERROR_SUCCESS;
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName)
{
    KeyRef ref;
    LSTATUS status = EnterKeyCall("RegDeleteValueA", key, nullptr, &ref);
    if (status != ERROR_SUCCESS)
        return status;
    if (ref.isRoot || (ref.access & KEY_SET_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    auto& values = machine().registry[ref.path].values;
    return values.erase(valueName == nullptr ? "" : valueName) != 0 ? ERROR_SUCCESS
                                                                    : ERROR_FILE_NOT_FOUND;
}

LSTATUS RegCloseKey(HKEY key)
{
    DWORD error;
    bool fails = EnterCall("RegCloseKey", &error);
    if (RootName(key) == nullptr && !ReleaseHandle(key, kRegKeyHandle, nullptr))
        return ERROR_INVALID_HANDLE;
    return fails ? static_cast<LSTATUS>(error) : ERROR_SUCCESS;
}

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR database, DWORD access)
{
    DWORD error;
    bool fails = EnterCall("OpenSCManagerA", &error);
    machine().scmOpens.push_back({machineName == nullptr ? "(null)" : machineName,
                                  database == nullptr ? "(null)" : database, access});
    if (fails)
        return Refuse(error, nullptr);
    if (!machine().scmAvailable)
        return Refuse(ERROR_ACCESS_DENIED, nullptr);
    if (machineName != nullptr && machineName[0] != '\0')
        return Refuse(kRpcServerUnavailable, nullptr);
    if (database != nullptr && !EqualNoCase(database, "ServicesActive"))
        return Refuse(kDatabaseDoesNotExist, nullptr);
    return static_cast<SC_HANDLE>(OpenHandle(kScManagerHandle, "", access));
}

SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                         DWORD serviceType, DWORD startType, DWORD errorControl, LPCSTR imagePath,
                         LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies, LPCSTR account,
                         LPCSTR password)
{
    if (CallFails("CreateServiceA"))
        return nullptr;
    HandleEntry* scm = FindHandle(manager, kScManagerHandle);
    if (scm == nullptr)
        return Refuse(ERROR_INVALID_HANDLE, nullptr);
    if ((scm->access & SC_MANAGER_CREATE_SERVICE) == 0)
        return Refuse(ERROR_ACCESS_DENIED, nullptr);
    if (!ValidServiceName(name))
        return Refuse(ERROR_INVALID_NAME, nullptr);
    auto& services = machine().services;
    auto existing = services.find(name);
    if (existing != services.end())
        return Refuse(existing->second.markedForDeletion ? ERROR_SERVICE_MARKED_FOR_DELETE
                                                         : ERROR_SERVICE_EXISTS,
                      nullptr);
    std::string display = displayName == nullptr || displayName[0] == '\0' ? name : displayName;
    for (const auto& other : services) {
        if (EqualNoCase(other.first, display) || EqualNoCase(other.second.displayName, display) ||
            EqualNoCase(other.second.displayName, name))
            return Refuse(ERROR_DUPLICATE_SERVICE_NAME, nullptr);
    }
    // Driver services only: a tag is given to boot and system start drivers alone.
    bool driver = serviceType == SERVICE_KERNEL_DRIVER || serviceType == SERVICE_FILE_SYSTEM_DRIVER;
    bool bootOrSystem = startType == SERVICE_BOOT_START || startType == SERVICE_SYSTEM_START;
    if (!driver || startType > SERVICE_DISABLED || errorControl > 3 || imagePath == nullptr ||
        imagePath[0] == '\0' || (tagId != nullptr && !bootOrSystem))
        return Refuse(ERROR_INVALID_PARAMETER, nullptr);
    sim::Service service;
    service.displayName = display;
    service.imagePath = imagePath;
    service.loadOrderGroup = loadOrderGroup == nullptr ? "" : loadOrderGroup;
    service.serviceType = serviceType;
    service.startType = startType;
    service.errorControl = errorControl;
    service.createAccess = access;
    service.tagRequested = tagId != nullptr;
    service.dependencies = dependencies == nullptr ? "" : dependencies;
    service.account = account == nullptr ? "" : account;
    service.password = password == nullptr ? "" : password;
    if (tagId != nullptr)
        *tagId = 1;
    auto stored = services.emplace(name, service).first;
    SetLastError(0);
    return static_cast<SC_HANDLE>(OpenHandle(kServiceHandle, stored->first, access));
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access)
{
    if (CallFails("OpenServiceA"))
        return nullptr;
    if (FindHandle(manager, kScManagerHandle) == nullptr)
        return Refuse(ERROR_INVALID_HANDLE, nullptr);
    if (!ValidServiceName(name))
        return Refuse(ERROR_INVALID_NAME, nullptr);
    // A service marked for deletion can still be opened; what it refuses is starting.
    auto it = machine().services.find(name);
    if (it == machine().services.end())
        return Refuse(ERROR_SERVICE_DOES_NOT_EXIST, nullptr);
    if ((access & it->second.deniedAccess) != 0)
        return Refuse(ERROR_ACCESS_DENIED, nullptr);
    return static_cast<SC_HANDLE>(OpenHandle(kServiceHandle, it->first, access));
}

BOOL StartServiceA(SC_HANDLE handle, DWORD argc, LPCSTR* argv)
{
    if (CallFails("StartServiceA"))
        return FALSE;
    sim::Service* service = ServiceFor(handle, SERVICE_START);
    if (service == nullptr)
        return FALSE;
    service->lastStartArgc = argc;
    if (argc != 0 && argv == nullptr)
        return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    if (service->markedForDeletion)
        return Refuse(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    if (service->startType == SERVICE_DISABLED)
        return Refuse(ERROR_SERVICE_DISABLED, FALSE);
    if (service->state != SERVICE_STOPPED)
        return Refuse(ERROR_SERVICE_ALREADY_RUNNING, FALSE);
    if (service->startError != 0)
        return Refuse(service->startError, FALSE);
    service->state = SERVICE_RUNNING;
    ++service->startCount;
    return TRUE;
}

// The service control manager fills the status also when it refuses the control because the
// service is not active or cannot take it now.
BOOL ControlService(SC_HANDLE handle, DWORD control, LPSERVICE_STATUS status)
{
    if (CallFails("ControlService"))
        return FALSE;
    if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_INTERROGATE)
        return Refuse(ERROR_INVALID_SERVICE_CONTROL, FALSE);
    sim::Service* service =
        ServiceFor(handle, control == SERVICE_CONTROL_STOP ? SERVICE_STOP : kServiceInterrogate);
    if (service == nullptr)
        return FALSE;
    if (status == nullptr)
        return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    if (service->state != SERVICE_RUNNING) {
        FillStatus(*service, status);
        return Refuse(service->state == SERVICE_STOPPED ? ERROR_SERVICE_NOT_ACTIVE
                                                        : ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
                      FALSE);
    }
    if (control == SERVICE_CONTROL_STOP)
        service->state = service->stopAnswer;
    FillStatus(*service, status);
    return TRUE;
}

BOOL QueryServiceStatus(SC_HANDLE handle, LPSERVICE_STATUS status)
{
    if (CallFails("QueryServiceStatus"))
        return FALSE;
    sim::Service* service = ServiceFor(handle, SERVICE_QUERY_STATUS);
    if (service == nullptr)
        return FALSE;
    if (status == nullptr)
        return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    FillStatus(*service, status);
    return TRUE;
}

// The configuration a test looks at; a service marked for deletion refuses every change.
BOOL ChangeServiceConfigA(SC_HANDLE handle, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCSTR imagePath, LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR,
                          LPCSTR account, LPCSTR password, LPCSTR displayName)
{
    if (CallFails("ChangeServiceConfigA"))
        return FALSE;
    sim::Service* service = ServiceFor(handle, SERVICE_CHANGE_CONFIG);
    if (service == nullptr)
        return FALSE;
    if (service->markedForDeletion)
        return Refuse(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    if (tagId != nullptr)
        return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    if (serviceType != SERVICE_NO_CHANGE)
        service->serviceType = serviceType;
    if (startType != SERVICE_NO_CHANGE)
        service->startType = startType;
    if (errorControl != SERVICE_NO_CHANGE)
        service->errorControl = errorControl;
    if (imagePath != nullptr)
        service->imagePath = imagePath;
    if (loadOrderGroup != nullptr)
        service->loadOrderGroup = loadOrderGroup;
    if (account != nullptr)
        service->account = account;
    if (password != nullptr)
        service->password = password;
    if (displayName != nullptr)
        service->displayName = displayName;
    return TRUE;
}

BOOL DeleteService(SC_HANDLE handle)
{
    if (CallFails("DeleteService"))
        return FALSE;
    sim::Service* service = ServiceFor(handle, DELETE);
    if (service == nullptr)
        return FALSE;
    if (service->markedForDeletion)
        return Refuse(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    service->markedForDeletion = true;
    return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE handle)
{
    DWORD error;
    bool fails = EnterCall("CloseServiceHandle", &error);
    HandleEntry released;
    if (!ReleaseHandle(handle, kScManagerHandle | kServiceHandle, &released))
        return Refuse(ERROR_INVALID_HANDLE, FALSE);
    if (released.kind == kServiceHandle)
        CollectService(released.target);
    return fails ? Refuse(error, FALSE) : TRUE;
}

}  // extern "C"
