// Deleting a file at the next restart, and taking that delete back: the NT pending-rename list
// and Windows 9x WININIT.INI.
#include "restart_delete.h"

#include <windows.h>
#include <string.h>

#include "bounded_text.h"
#include "registry_key.h"
#include "shell_files.h"

namespace {

// The largest profile section Windows 95/98 reads or writes.
enum { kProfileSectionSize = 32767, kShortPathSize = MAX_PATH };

// A pending-rename list larger than this is not read: taking a delete back then fails rather
// than holding megabytes. Years of updates leave a few hundred kilobytes at most.
const DWORD kMaxPendingRenamesSize = 2 * 1024 * 1024;

const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenamesValue[] = "PendingFileRenameOperations";
const char kWininit[] = "WININIT.INI";
const char kRenameSection[] = "rename";

// A zero-filled block of the process heap, freed once.
class CHeapBuffer {
public:
    explicit CHeapBuffer(size_t size)
        : text(static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size)))
    {
    }
    ~CHeapBuffer()
    {
        if (text != NULL) {
            HeapFree(GetProcessHeap(), 0, text);
        }
    }
    char* const text;

private:
    CHeapBuffer(const CHeapBuffer&) = delete;
    CHeapBuffer& operator=(const CHeapBuffer&) = delete;
};

// A path as a pending delete may name it: as given, and its 8.3 form (empty when the file has
// none that GetShortPathNameA can tell).
struct PathForms {
    const char* given;
    char shortForm[kShortPathSize];
};

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `text` of `length` characters (no NUL needed) against the NUL-terminated `path`.
int SameTextNoCase(const char* text, size_t length, const char* path)
{
    size_t i = 0;
    for (; i < length; i++) {
        if (path[i] == '\0' || LowerAscii(text[i]) != LowerAscii(path[i])) {
            return 0;
        }
    }
    return path[i] == '\0';
}

int NamesOneOf(const char* text, size_t length, const PathForms* forms, int count)
{
    for (int i = 0; i < count; i++) {
        if ((forms[i].given[0] != '\0' && SameTextNoCase(text, length, forms[i].given)) ||
            (forms[i].shortForm[0] != '\0' && SameTextNoCase(text, length, forms[i].shortForm))) {
            return 1;
        }
    }
    return 0;
}

void TrimBlanks(const char** text, size_t* length)
{
    while (*length != 0 && (**text == ' ' || **text == '\t')) {
        ++*text;
        --*length;
    }
    while (*length != 0 && ((*text)[*length - 1] == ' ' || (*text)[*length - 1] == '\t')) {
        --*length;
    }
}

// Reads WININIT.INI's [rename] section into `section` (kProfileSectionSize bytes from the heap,
// too big for the stack of a program's thread on Windows 95/98): lines "key=value", each
// NUL-terminated, the list ended by a second NUL. 0 when there is no buffer or the section was
// cut short.
int ReadRenameSection(const CHeapBuffer& section, DWORD* used)
{
    if (section.text == NULL) {
        return 0;
    }
    *used = GetPrivateProfileSectionA(kRenameSection, section.text, kProfileSectionSize, kWininit);
    return *used < kProfileSectionSize - 2 ? 1 : 0;
}

// WININIT.INI runs before Windows 95/98 starts: "NUL=<8.3 path>" deletes that file. The key NUL
// repeats for every file, which WritePrivateProfileStringA cannot write (it would replace the
// first line), so the whole section is read, one line appended, and the section written back.
int ScheduleInWininit(const char* path)
{
    char shortPath[kShortPathSize];
    DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath) {
        return 0;
    }

    CHeapBuffer section(kProfileSectionSize);
    DWORD used = 0;
    if (!ReadRenameSection(section, &used)) {
        return 0;  // writing it back would drop the lines that did not fit
    }
    // The new line goes behind the others, with the list's second NUL behind it.
    if (!FormatFileList(section.text + used, kProfileSectionSize - used, "NUL=", shortPath)) {
        return 0;
    }
    return WritePrivateProfileSectionA(kRenameSection, section.text, kWininit) ? 1 : 0;
}

// A "NUL=<path>" line of the [rename] section, blanks around the key and the path allowed.
int IsOurDeleteLine(const char* line, size_t length, const PathForms* forms, int count)
{
    const char* equals = static_cast<const char*>(memchr(line, '=', length));
    if (equals == NULL) {
        return 0;
    }
    const char* key = line;
    size_t keyLength = static_cast<size_t>(equals - line);
    const char* value = equals + 1;
    size_t valueLength = length - keyLength - 1;
    TrimBlanks(&key, &keyLength);
    TrimBlanks(&value, &valueLength);
    return SameTextNoCase(key, keyLength, "NUL") && NamesOneOf(value, valueLength, forms, count);
}

int WithdrawInWininit(const PathForms* forms, int count)
{
    CHeapBuffer section(kProfileSectionSize);
    CHeapBuffer kept(kProfileSectionSize);
    DWORD used = 0;
    if (kept.text == NULL || !ReadRenameSection(section, &used)) {
        return 0;  // a line of ours may be among those that did not fit
    }
    size_t keptSize = 0;
    int withdrawn = 0;
    for (size_t pos = 0; pos < used;) {
        const char* line = section.text + pos;
        size_t length = strnlen(line, used - pos);
        pos += length + 1;
        if (IsOurDeleteLine(line, length, forms, count)) {
            withdrawn++;
            continue;
        }
        memcpy(kept.text + keptSize, line, length);
        keptSize += length + 1;  // its NUL: the block is zero-filled
    }
    if (withdrawn == 0) {
        return 1;
    }
    // The kept lines are no longer than those read, so the list's second NUL is still inside.
    return WritePrivateProfileSectionA(kRenameSection, kept.text, kWininit) ? 1 : 0;
}

// The pending-rename list is a REG_MULTI_SZ of pairs (source, target), sources and targets as NT
// paths ("\??\C:\..."); an empty target deletes the source. An empty string is a valid entry
// here, so the list ends where the value ends, not at its first empty string: a value that
// ends in two NULs has its final one as the list's end. A last source without a target reads
// as a delete.
int WithdrawInPendingRenames(const PathForms* forms, int count)
{
    HKEY opened = NULL;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0,
                                KEY_QUERY_VALUE | KEY_SET_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND) {
        return 1;
    }
    if (status != ERROR_SUCCESS) {
        return 0;
    }
    RegistryKey key(opened);
    DWORD type = REG_NONE;
    DWORD size = 0;
    status = RegQueryValueExA(key.Get(), kPendingRenamesValue, NULL, &type, NULL, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return 1;
    }
    if (status != ERROR_SUCCESS) {
        return 0;
    }
    // The session manager and MoveFileExA take the list only as REG_MULTI_SZ: a value of
    // another type deletes nothing, and is not ours to change.
    if (type != REG_MULTI_SZ) {
        return 1;
    }
    if (size > kMaxPendingRenamesSize) {
        return 0;
    }
    // Two zero bytes more than the value: a value cut short still ends in a terminated string.
    CHeapBuffer value(size + 2);
    CHeapBuffer kept(size + 2);
    if (value.text == NULL || kept.text == NULL) {
        return 0;
    }
    DWORD read = size;
    status = RegQueryValueExA(key.Get(), kPendingRenamesValue, NULL, &type,
                              reinterpret_cast<BYTE*>(value.text), &read);
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ || read > size) {
        return 0;  // changed since the size query
    }
    size_t end = read;
    if (end >= 2 && value.text[end - 1] == '\0' && value.text[end - 2] == '\0') {
        end--;
    }
    size_t keptSize = 0;
    int withdrawn = 0;
    for (size_t pos = 0; pos < end;) {
        const char* source = value.text + pos;
        size_t sourceLength = strnlen(source, end - pos);
        pos += sourceLength + 1;
        size_t targetLength = 0;
        int hasTarget = pos < end;
        if (hasTarget) {
            targetLength = strnlen(value.text + pos, end - pos);
        }
        const char* name = source;
        size_t nameLength = sourceLength;
        if (nameLength >= 4 && memcmp(name, "\\??\\", 4) == 0) {
            name += 4;
            nameLength -= 4;
        }
        if (targetLength == 0 && NamesOneOf(name, nameLength, forms, count)) {
            withdrawn++;
            pos += hasTarget ? 1 : 0;
            continue;
        }
        memcpy(kept.text + keptSize, source, sourceLength);
        keptSize += sourceLength + 1;
        if (hasTarget) {
            memcpy(kept.text + keptSize, value.text + pos, targetLength);
            keptSize += targetLength + 1;
            pos += targetLength + 1;
        }
    }
    if (withdrawn == 0) {
        return 1;
    }
    if (keptSize == 0) {
        status = RegDeleteValueA(key.Get(), kPendingRenamesValue);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? 1 : 0;
    }
    // The list's final NUL: zero already, and inside, as nothing kept grew.
    status =
        RegSetValueExA(key.Get(), kPendingRenamesValue, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(kept.text), static_cast<DWORD>(keptSize + 1));
    return status == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace

int ScheduleDeleteAtRestart(const char* path, int windows9x)
{
    // The delete at the restart refuses a read-only file as any delete does: clear the attribute
    // now, so that the scheduled delete can succeed.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (windows9x) {
        return ScheduleInWininit(path);
    }
    return MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
}

int WithdrawDeletesAtRestart(const char* const paths[], int count, int windows9x)
{
    if (count < 0 || count > kMaxWithdrawnPaths) {
        return 0;
    }
    PathForms forms[kMaxWithdrawnPaths];
    for (int i = 0; i < count; i++) {
        forms[i].given = paths[i];
        DWORD length = GetShortPathNameA(paths[i], forms[i].shortForm, kShortPathSize);
        if (length == 0 || length >= kShortPathSize) {
            forms[i].shortForm[0] = '\0';
        }
    }
    return windows9x ? WithdrawInWininit(forms, count) : WithdrawInPendingRenames(forms, count);
}
