// Deleting a file at the next restart, and taking that delete back: the NT pending-rename list
// and Windows 9x WININIT.INI.
#include "restart_delete.h"

#include <windows.h>
#include <string.h>

#include "bounded_text.h"
#include "registry_key.h"
#include "shell_files.h"
#include "system_function.h"

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

// Replaces the [rename] section with `lines`, then has Windows write its cached copy of WININIT.INI
// to the disk at once: a power cut later must not bring back the section as it was. The flush
// answers FALSE whether or not it wrote, so its result tells nothing.
int WriteRenameSection(const char* lines)
{
    if (!WritePrivateProfileSectionA(kRenameSection, lines, kWininit)) {
        return 0;
    }
    WritePrivateProfileStringA(NULL, NULL, NULL, kWininit);
    return 1;
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
    return WriteRenameSection(section.text);
}

// A line "<target>=<source>" of the [rename] section that deletes one of our paths (target NUL)
// or puts another file in its place (target one of our paths), blanks around both allowed.
int IsOurLine(const char* line, size_t length, const PathForms* forms, int count)
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
    return NamesOneOf(key, keyLength, forms, count) ||
           (SameTextNoCase(key, keyLength, "NUL") && NamesOneOf(value, valueLength, forms, count));
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
        if (IsOurLine(line, length, forms, count)) {
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
    return WriteRenameSection(kept.text);
}

// The registry's wide functions, looked up in the advapi32 every program has loaded: the import
// list keeps to the functions that every Windows 95 exports.
typedef LONG(WINAPI* QueryValueWideFunction)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI* SetValueWideFunction)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);

struct WideRegistry {
    QueryValueWideFunction query;
    SetValueWideFunction set;
};

int FindWideRegistry(WideRegistry* functions)
{
    functions->query =
        FindSystemFunction<QueryValueWideFunction>("advapi32.dll", "RegQueryValueExW");
    functions->set = FindSystemFunction<SetValueWideFunction>("advapi32.dll", "RegSetValueExW");
    return functions->query != NULL && functions->set != NULL;
}

// A path of ours as the pending-rename list holds it: UTF-16, converted from the ANSI code page
// as the system converts the path that MoveFileExA is given.
struct WidePath {
    WCHAR text[kShortPathSize];
    size_t length;  // 0: no such form
};

int Widen(const char* path, WidePath* wide)
{
    wide->length = 0;
    if (path[0] == '\0') {
        return 1;
    }
    int units = MultiByteToWideChar(CP_ACP, 0, path, -1, wide->text, kShortPathSize);
    if (units <= 1) {
        return 0;
    }
    wide->length = static_cast<size_t>(units - 1);
    return 1;
}

WCHAR LowerAsciiUnit(WCHAR c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<WCHAR>(c - 'A' + 'a') : c;
}

// Case is folded in the ASCII range only, the rest compared exactly: a name that matches is then
// the same file under every case rule of Windows, so no other program's entry is taken for ours.
// What this misses, a name of ours spelt in another case beyond ASCII, the uninstaller never
// writes: it names the files as derived here, from the same Windows directory.
int SameWideNoCase(const WCHAR* text, size_t length, const WidePath& path)
{
    if (path.length == 0 || length != path.length) {
        return 0;
    }
    for (size_t i = 0; i < length; i++) {
        if (LowerAsciiUnit(text[i]) != LowerAsciiUnit(path.text[i])) {
            return 0;
        }
    }
    return 1;
}

// A name of the list: "\??\" and the path, or the path alone; a target also behind "!", which
// asks for an existing file to be replaced.
int WideNamesOneOf(const WCHAR* name, size_t length, int target, const WidePath* paths, int count)
{
    if (target && length >= 1 && name[0] == '!') {
        name++;
        length--;
    }
    if (length >= 4 && name[0] == '\\' && name[1] == '?' && name[2] == '?' && name[3] == '\\') {
        name += 4;
        length -= 4;
    }
    for (int i = 0; i < count; i++) {
        if (SameWideNoCase(name, length, paths[i])) {
            return 1;
        }
    }
    return 0;
}

size_t WideLength(const WCHAR* text)
{
    size_t length = 0;
    while (text[length] != 0) {
        length++;
    }
    return length;
}

// The pending-rename list is a REG_MULTI_SZ of pairs (source, target), names as NT paths
// ("\??\C:\..."); an empty target deletes the source, a target "!<path>" is replaced by the
// source. An empty string is a valid entry here, so the strings are counted to the value's end:
// an even count is the pairs alone, an odd count ends in the list's empty final string. Anything
// else (an odd byte count, a last string without its NUL, a source without its target) is not a
// list this code can rewrite without guessing at another program's entry: it is left as it is.
// Of the pairs, those that delete one of `paths` or put another file in its place go.
int WithdrawInPendingRenames(const PathForms* forms, int count)
{
    WidePath paths[2 * kMaxWithdrawnPaths];
    for (int i = 0; i < count; i++) {
        if (!Widen(forms[i].given, &paths[2 * i]) ||
            !Widen(forms[i].shortForm, &paths[2 * i + 1])) {
            return 0;
        }
    }
    WCHAR valueName[sizeof kPendingRenamesValue];
    WideRegistry registry;
    if (!FindWideRegistry(&registry) ||
        MultiByteToWideChar(CP_ACP, 0, kPendingRenamesValue, -1, valueName,
                            sizeof kPendingRenamesValue) == 0) {
        return 0;
    }
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
    status = registry.query(key.Get(), valueName, NULL, &type, NULL, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return 1;
    }
    // A value of another type is no list this code knows how the session manager reads.
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ || size > kMaxPendingRenamesSize) {
        return 0;
    }
    CHeapBuffer value(size + sizeof(WCHAR));
    CHeapBuffer kept(size + sizeof(WCHAR));
    if (value.text == NULL || kept.text == NULL) {
        return 0;
    }
    DWORD read = size;
    status = registry.query(key.Get(), valueName, NULL, &type, reinterpret_cast<BYTE*>(value.text),
                            &read);
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ || read > size || read % 2 != 0) {
        return 0;  // changed since the size query, or no UTF-16 at all
    }
    const WCHAR* units = reinterpret_cast<const WCHAR*>(value.text);
    size_t end = read / sizeof(WCHAR);
    if (end == 0) {
        return 1;
    }
    if (units[end - 1] != 0) {
        return 0;
    }
    size_t strings = 0;
    for (size_t i = 0; i < end; i++) {
        strings += units[i] == 0 ? 1 : 0;
    }
    if (strings % 2 != 0) {
        if (end >= 2 && units[end - 2] != 0) {
            return 0;  // a source without its target
        }
        end--;  // the list's final empty string
    }
    WCHAR* keptUnits = reinterpret_cast<WCHAR*>(kept.text);
    size_t keptLength = 0;
    int withdrawn = 0;
    for (size_t pos = 0; pos < end;) {
        const WCHAR* source = units + pos;
        size_t sourceLength = WideLength(source);
        const WCHAR* target = source + sourceLength + 1;
        size_t targetLength = WideLength(target);
        size_t pairLength = sourceLength + targetLength + 2;
        pos += pairLength;
        if ((targetLength == 0 && WideNamesOneOf(source, sourceLength, 0, paths, 2 * count)) ||
            WideNamesOneOf(target, targetLength, 1, paths, 2 * count)) {
            withdrawn++;
            continue;
        }
        memcpy(keptUnits + keptLength, source, pairLength * sizeof(WCHAR));
        keptLength += pairLength;
    }
    if (withdrawn == 0) {
        return 1;
    }
    if (keptLength == 0) {
        status = RegDeleteValueA(key.Get(), kPendingRenamesValue);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? 1 : 0;
    }
    // The list's final empty string: zero already, and inside, as nothing kept grew.
    status = registry.set(key.Get(), valueName, 0, REG_MULTI_SZ,
                          reinterpret_cast<const BYTE*>(kept.text),
                          static_cast<DWORD>((keptLength + 1) * sizeof(WCHAR)));
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
