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

// Whether value NAME of HKEY_LOCAL_MACHINE\KEY has TYPE and exactly the SIZE bytes at DATA; one
// that differs is traced with what was found.
inline bool MachineValueIs(const char* keyPath, const char* name, DWORD type, const void* data,
                           DWORD size)
{
    HKEY key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key);
    BYTE found[1024];
    DWORD foundType = REG_NONE, foundSize = sizeof found;
    if (result == ERROR_SUCCESS) {
        result = RegQueryValueExA(key, name, NULL, &foundType, found, &foundSize);
        RegCloseKey(key);
    }
    if (result == ERROR_SUCCESS && foundType == type && foundSize == size &&
        memcmp(found, data, size) == 0)
        return true;
    trace("%s\\%s: result %ld, type %lu, size %lu", keyPath, name, result, foundType, foundSize);
    return false;
}

inline LONG OpenMachineKeyResult(const char* keyPath)
{
    HKEY key;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result;
}

inline bool MachineDwordIs(const char* keyPath, const char* name, DWORD expected)
{
    return MachineValueIs(keyPath, name, REG_DWORD, &expected, sizeof expected);
}

inline bool MachineStringIs(const char* keyPath, const char* name, const char* expected)
{
    return MachineValueIs(keyPath, name, REG_SZ, expected, strlen(expected) + 1);
}
