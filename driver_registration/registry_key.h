// Owners of the handles the library and the programs open: each closes its handle exactly once.
#pragma once

#include <windows.h>

#include <string.h>

class RegistryKey {
public:
    explicit RegistryKey(HKEY key) : m_key(key) {}
    ~RegistryKey()
    {
        if (m_key != NULL)
            RegCloseKey(m_key);
    }
    HKEY Get() const { return m_key; }

    void SetBinary(const char* name, const void* data, DWORD size) const
    {
        RegSetValueExA(m_key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    }
    // REG_SZ with its length plus the terminating NUL.
    void SetString(const char* name, const char* text) const
    {
        RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(strlen(text) + 1));
    }
    void SetDword(const char* name, DWORD value) const
    {
        RegSetValueExA(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    // Four bytes, least significant first, as the Windows 98 service key stores its numbers.
    void SetBinaryNumber(const char* name, DWORD value) const
    {
        BYTE bytes[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
        SetBinary(name, bytes, sizeof bytes);
    }

private:
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY m_key;
};

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : m_handle(handle) {}
    ~ServiceHandle()
    {
        if (m_handle != NULL)
            CloseServiceHandle(m_handle);
    }
    SC_HANDLE Get() const { return m_handle; }

private:
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE m_handle;
};

// A file handle from CreateFileA, whose failure value is INVALID_HANDLE_VALUE (not NULL).
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    HANDLE Get() const { return m_handle; }
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE m_handle;
};
