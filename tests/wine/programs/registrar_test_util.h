// What the registrar tests under Wine read from the system itself (the service control manager,
// the registry), and how they tell the registrar classes apart without RTTI.
#pragma once

#include <windows.h>

#include <string.h>

#include "driver_registrar.h"
#include "wine_test.h"

// The class of a registrar: its vtable pointer against that of a local object of each class.
template <class T>
inline bool IsRegistrarClass(CDriverRegistrar* registrar)
{
    if (registrar == NULL)
        return false;
    T local;
    void* const* mine = reinterpret_cast<void* const*>(registrar);
    void* const* theirs = reinterpret_cast<void* const*>(static_cast<CDriverRegistrar*>(&local));
    return *mine == *theirs;
}

inline const char* RegistrarClassName(CDriverRegistrar* registrar)
{
    if (registrar == NULL)
        return "none";
    if (IsRegistrarClass<CNtServiceRegistrar>(registrar))
        return "CNtServiceRegistrar";
    if (IsRegistrarClass<CVxdRegistrar>(registrar))
        return "CVxdRegistrar";
    if (IsRegistrarClass<CWin98SysRegistrar>(registrar))
        return "CWin98SysRegistrar";
    return "unknown";
}

enum { kServiceMissing = 0 };

// The service's current state from the service control manager; kServiceMissing when it has no
// such service (the open's error is left in *error).
inline DWORD ServiceState(const char* name, DWORD* error = NULL)
{
    DWORD state = kServiceMissing;
    DWORD code = 0;
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    if (manager == NULL)
        return kServiceMissing;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service == NULL) {
        code = GetLastError();
    } else {
        SERVICE_STATUS status;
        if (QueryServiceStatus(service, &status))
            state = status.dwCurrentState;
        else
            code = GetLastError();
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    if (error)
        *error = code;
    return state;
}

// A service's state, and a registrar's text and its flags (-1: a flag not checked).
#define ok_state(name, expected, when)                                                             \
    ok(ServiceState(name) == (expected), "%s %s: state %lu", name, when, ServiceState(name))
#define ok_text(r, text, warning, error)                                                           \
    ok(strcmp((r)->Messages(), text) == 0 && ((warning) < 0 || (r)->HasWarning() == (warning)) &&  \
           ((error) < 0 || (r)->HasError() == (error)),                                            \
       "text '%s', warning %d, error %d", (r)->Messages(), (r)->HasWarning(), (r)->HasError())

// One registry value under HKEY_LOCAL_MACHINE; `found` false when the key or the value is missing.
// Read it before the ok() that prints it: the arguments of a call are evaluated in no set order.
struct RegistryValue {
    bool found;
    DWORD type;
    DWORD size;
    BYTE data[1024];
};

inline bool ReadMachineValue(const char* keyPath, const char* valueName, RegistryValue* value)
{
    memset(value, 0, sizeof *value);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    value->size = sizeof value->data;
    LONG result = RegQueryValueExA(key, valueName, NULL, &value->type, value->data, &value->size);
    RegCloseKey(key);
    value->found = result == ERROR_SUCCESS;
    return value->found;
}

inline LONG OpenMachineKeyResult(const char* keyPath)
{
    HKEY key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result;
}

inline bool ValueIsDword(const RegistryValue& value, DWORD expected)
{
    DWORD data;
    memcpy(&data, value.data, sizeof data);
    return value.type == REG_DWORD && value.size == 4 && data == expected;
}

inline bool ValueIsString(const RegistryValue& value, const char* expected)
{
    return value.type == REG_SZ && value.size == strlen(expected) + 1 &&
           memcmp(value.data, expected, value.size) == 0;
}
