// Owners of the handles the library and the programs open: each closes its handle exactly once.
#pragma once

#include <windows.h>

#include <string.h>

// Owns one handle of the kind Traits describes: its type, the value that means "none", and how
// it is closed.
template <class Traits>
class HandleOwner {
public:
    typedef typename Traits::Handle Handle;
    explicit HandleOwner(Handle handle) : m_handle(handle) {}
    ~HandleOwner()
    {
        if (IsOpen())
            Traits::Close(m_handle);
    }
    Handle Get() const { return m_handle; }
    bool IsOpen() const { return m_handle != Traits::None(); }

private:
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;
    Handle m_handle;
};

struct ServiceHandleTraits {
    typedef SC_HANDLE Handle;
    static Handle None() { return NULL; }
    static void Close(Handle handle) { CloseServiceHandle(handle); }
};

// A file handle from CreateFileA, whose failure value is INVALID_HANDLE_VALUE (not NULL).
struct FileHandleTraits {
    typedef HANDLE Handle;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

// A folder listing from FindFirstFileA, closed with FindClose.
struct FindHandleTraits {
    typedef HANDLE Handle;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};

struct RegistryKeyTraits {
    typedef HKEY Handle;
    static Handle None() { return NULL; }
    static void Close(Handle handle) { RegCloseKey(handle); }
};

typedef HandleOwner<ServiceHandleTraits> ServiceHandle;
typedef HandleOwner<FileHandleTraits> FileHandle;
typedef HandleOwner<FindHandleTraits> FindHandle;

// A registry key with the value writes the registrars make.
class RegistryKey : public HandleOwner<RegistryKeyTraits> {
public:
    explicit RegistryKey(HKEY key) : HandleOwner<RegistryKeyTraits>(key) {}

    void SetBinary(const char* name, const void* data, DWORD size) const
    {
        RegSetValueExA(Get(), name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    }
    // REG_SZ with its length plus the terminating NUL.
    void SetString(const char* name, const char* text) const
    {
        RegSetValueExA(Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(strlen(text) + 1));
    }
    void SetDword(const char* name, DWORD value) const
    {
        RegSetValueExA(Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    // Four bytes, least significant first, as the Windows 98 service key stores its numbers.
    void SetBinaryNumber(const char* name, DWORD value) const
    {
        BYTE bytes[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
        SetBinary(name, bytes, sizeof bytes);
    }
};
