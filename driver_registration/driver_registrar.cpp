// CDriverRegistrar: configuration, the message text and the registry-key steps its classes share.
#include "driver_registrar.h"

#include "bounded_text.h"
#include "registry_key.h"

#include <string.h>

const char CDriverRegistrar::kServicesKey[] = "System\\CurrentControlSet\\Services\\";
const char CDriverRegistrar::kVxdKey[] = "System\\CurrentControlSet\\Services\\VxD\\";

namespace {

// A name that can stand in a registry key path and in a service database: not empty, within its
// field, and no backslash that would lead out of the driver's own key (a name such as "..\VxD"
// or "VxD" plus a subkey must never make Remove delete somebody else's key).
int IsSafeName(const char* text)
{
    if (text == NULL || text[0] == '\0')
        return 0;
    size_t length = strnlen(text, CDriverRegistrar::kNameSize);
    return length < CDriverRegistrar::kNameSize && strchr(text, '\\') == NULL;
}

}  // namespace

void* CDriverRegistrar::operator new(size_t size) noexcept
{
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void CDriverRegistrar::operator delete(void* block) noexcept
{
    if (block != NULL)
        HeapFree(GetProcessHeap(), 0, block);
}

CDriverRegistrar::CDriverRegistrar()
    : m_registryOnly(0), m_manager(NULL), m_hasError(0), m_hasWarning(0), m_startType(0)
{
    // Until Configure succeeds the names stay empty, which marks the registrar unconfigured.
    m_name[0] = '\0';
    m_fileName[0] = '\0';
    m_imagePath[0] = '\0';
    // A virtual call in a constructor reaches the base's own ClearMessages, the one meant here.
    ClearMessages();  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
}

CDriverRegistrar::~CDriverRegistrar() {}

int CDriverRegistrar::Configure(const char* name, const char* fileName, DWORD startType,
                                const char* imagePath, int registryOnly)
{
    if (m_manager == NULL)
        return 0;

    // A refused configuration leaves the registrar unconfigured, never still set up for the
    // previous driver: a caller that meant another driver must not act on the old one.
    m_registryOnly = 0;
    m_startType = 0;
    m_name[0] = '\0';
    m_fileName[0] = '\0';
    m_imagePath[0] = '\0';
    if (!IsSafeName(name) || !IsSafeName(fileName))
        return 0;
    if (imagePath != NULL && (imagePath[0] == '\0' || strnlen(imagePath, kNameSize) >= kNameSize))
        return 0;

    SetNames(name, fileName, imagePath);
    // A default image path that did not fit leaves the registrar without a driver file.
    if (m_imagePath[0] == '\0') {
        m_name[0] = '\0';
        m_fileName[0] = '\0';
        return 0;
    }
    m_registryOnly = registryOnly;
    m_startType = startType;
    return 1;
}

int CDriverRegistrar::HasError()
{
    return m_hasError;
}

int CDriverRegistrar::HasWarning()
{
    return m_hasWarning;
}

int CDriverRegistrar::HasMessages()
{
    return (m_hasWarning || m_hasError) ? 1 : 0;
}

// Text that no longer fits the 2000 characters is cut at the buffer's end; the flag is set all
// the same, so the owner still learns that something went wrong.
void CDriverRegistrar::AddError(const char* text)
{
    AppendTextCut(m_messages, sizeof m_messages, text ? text : "");
    m_hasError = 1;
}

void CDriverRegistrar::AddWarning(const char* text)
{
    AppendTextCut(m_messages, sizeof m_messages, text ? text : "");
    m_hasWarning = 1;
}

void CDriverRegistrar::ClearMessages()
{
    m_messages[0] = '\0';
    m_hasError = 0;
    m_hasWarning = 0;
}

// Direct callers may pass anything: a name that does not fit its field is stored empty rather
// than cut, so a cut name can never register or remove a different driver.
void CDriverRegistrar::SetNames(const char* name, const char* fileName, const char* imagePath)
{
    CopyText(m_name, sizeof m_name, name ? name : "");
    CopyText(m_fileName, sizeof m_fileName, fileName ? fileName : "");
    if (imagePath != NULL)
        CopyText(m_imagePath, sizeof m_imagePath, imagePath);
    else
        m_imagePath[0] = '\0';
}

void CDriverRegistrar::SetSystemRootImagePath(const char* fileName)
{
    JoinText(m_imagePath, sizeof m_imagePath, "\\SystemRoot\\System32\\drivers\\", fileName,
             ".SYS");
}

int CDriverRegistrar::FormatKeyPath(char* path, const char* prefix) const
{
    return JoinText(path, kKeyPathSize, prefix, m_name);
}

HKEY CDriverRegistrar::CreateDriverKey(const char* prefix, const char* existsText)
{
    ClearMessages();
    char path[kKeyPathSize];
    HKEY key = NULL;
    DWORD disposition = 0;
    if (!FormatKeyPath(path, prefix) ||
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, NULL, &key, &disposition) != ERROR_SUCCESS ||
        key == NULL) {
        AddError("Cannot open registry key\n");
        return NULL;
    }
    if (disposition == REG_OPENED_EXISTING_KEY) {
        AddWarning(m_name);
        AddWarning(existsText);
    }
    return key;
}

int CDriverRegistrar::DeleteDriverKey(const char* prefix, const char* missingText)
{
    ClearMessages();
    char path[kKeyPathSize];
    if (FormatKeyPath(path, prefix) && RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS)
        return 1;
    AddError(m_name);
    AddError(missingText);
    return 0;
}
