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

// A pending-rename list larger than this is not read: taking a delete back then fails rather than
// holding megabytes. Years of updates leave a few hundred kilobytes at most.
const DWORD kMaxListSize = 2 * 1024 * 1024;

// The pending-rename list is read again just before it is written back: when another program has
// changed it in between, the rewrite starts over, this many times at most, and then gives up.
enum { kRewriteAttempts = 3 };

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

// A path of ours as the lists may hold it: UTF-16, converted from the ANSI code page as the system
// converts the path that MoveFileExA is given, its file name behind its last backslash.
struct WidePath {
    WCHAR text[kShortPathSize];
    size_t length;  // 0: no such form
    size_t nameStart;
};

// Both forms of each of our paths.
struct OurPaths {
    WidePath forms[2 * kMaxWithdrawnPaths];
    int count;
};

int Widen(const char* path, WidePath* wide)
{
    wide->length = 0;
    wide->nameStart = 0;
    if (path[0] == '\0') {
        return 1;
    }
    int units = MultiByteToWideChar(CP_ACP, 0, path, -1, wide->text, kShortPathSize);
    if (units <= 1) {
        return 0;
    }
    wide->length = static_cast<size_t>(units - 1);
    for (size_t i = 0; i < wide->length; i++) {
        if (wide->text[i] == '\\') {
            wide->nameStart = i + 1;
        }
    }
    return 1;
}

int WidenForms(const PathForms* forms, int count, OurPaths* ours)
{
    ours->count = 2 * count;
    for (int i = 0; i < count; i++) {
        if (!Widen(forms[i].given, &ours->forms[2 * i]) ||
            !Widen(forms[i].shortForm, &ours->forms[2 * i + 1])) {
            return 0;
        }
    }
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
int SameUnitsNoCase(const WCHAR* text, const WCHAR* other, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        if (LowerAsciiUnit(text[i]) != LowerAsciiUnit(other[i])) {
            return 0;
        }
    }
    return 1;
}

// Whether one of our file names occurs in `bytes` at any offset, as ANSI or as UTF-16LE text,
// ASCII letters in either case: what is no list of names may still name one of our files.
int MentionsOurFile(const char* bytes, size_t size, const OurPaths& ours)
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes);
    for (size_t pos = 0; pos < size; pos++) {
        for (int i = 0; i < ours.count; i++) {
            const WCHAR* name = ours.forms[i].text + ours.forms[i].nameStart;
            size_t length = ours.forms[i].length - ours.forms[i].nameStart;
            for (size_t step = 1; step <= 2 && length != 0; step++) {
                size_t k = 0;
                for (; k < length && pos + (k + 1) * step <= size; k++) {
                    size_t unit = pos + k * step;
                    WCHAR c =
                        static_cast<WCHAR>(step == 1 ? at[unit] : at[unit] | at[unit + 1] << 8);
                    if (LowerAsciiUnit(c) != LowerAsciiUnit(name[k])) {
                        break;
                    }
                }
                if (k == length) {
                    return 1;
                }
            }
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

// A line "<target>=<source>" of the [rename] section that names one of our paths on either side,
// blanks around both allowed: it deletes our file (target NUL), moves it away, or puts another
// file in its place.
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
    return NamesOneOf(key, keyLength, forms, count) || NamesOneOf(value, valueLength, forms, count);
}

// A section too big to be read whole (over 32 KB, which Windows 95/98 cannot read back either) is
// left as it is, and cannot be told free of our paths: a failure.
int WithdrawInWininit(const PathForms* forms, int count)
{
    CHeapBuffer section(kProfileSectionSize);
    DWORD used = 0;
    if (section.text == NULL) {
        return 0;
    }
    if (!ReadRenameSection(section, &used)) {
        return 0;
    }
    // The lines kept move up over those taken back, each with its NUL.
    size_t keptSize = 0;
    int withdrawn = 0;
    for (size_t pos = 0; pos < used;) {
        char* line = section.text + pos;
        size_t length = strnlen(line, used - pos);
        pos += length + 1;
        if (IsOurLine(line, length, forms, count)) {
            withdrawn++;
            continue;
        }
        memmove(section.text + keptSize, line, length + 1);
        keptSize += length + 1;
    }
    if (withdrawn == 0) {
        return 1;
    }
    section.text[keptSize] = '\0';  // the list's second NUL
    return WriteRenameSection(section.text);
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

// The length of the ASCII `prefix` when `text` of `length` units begins with it, letters in
// either case; else 0.
size_t AsciiPrefixLength(const WCHAR* text, size_t length, const char* prefix)
{
    size_t i = 0;
    for (; prefix[i] != '\0'; i++) {
        if (i >= length ||
            LowerAsciiUnit(text[i]) != LowerAsciiUnit(static_cast<WCHAR>(prefix[i]))) {
            return 0;
        }
    }
    return i;
}

// The names of the object manager's folder of drive letters ("\??\" since NT 4.0, the older
// "\DosDevices\", "\GLOBAL??\" from Windows XP on), and the suffix that names a file's unnamed
// stream, that is the file itself.
const char* const kDriveFolders[] = {"\\??\\", "\\DosDevices\\", "\\GLOBAL??\\"};
const char kUnnamedStream[] = "::$DATA";

// "X:\" and names between single backslashes, none ending in a dot or a blank (".", ".." and the
// names whose end Win32 cuts off), without "/" or a stream: a form in which no other spelling of
// one of our paths can hide.
int IsPlainDrivePath(const WCHAR* name, size_t length)
{
    if (length < 3 || name[1] != ':' || name[2] != '\\') {
        return 0;
    }
    WCHAR last = '\\';
    for (size_t i = 3; i < length; i++) {
        WCHAR c = name[i];
        if (c == ':' || c == '/' || (c == '\\' && (last == '\\' || last == '.' || last == ' '))) {
            return 0;
        }
        last = c;
    }
    return last != '\\' && last != '.' && last != ' ';
}

enum NameKind { kOtherFile, kOurFile, kMaybeOurFile };

// A name of the list: one of our paths, as given or in its 8.3 form, behind one of the drive
// folders or none and before the unnamed stream or not (a target also behind "!", which asks for
// an existing file to be replaced); another file when it is a plain drive path; else, when it ends
// in one of our file names (dots and blanks behind them aside), maybe ours.
NameKind KindOfName(const WCHAR* name, size_t length, int target, const OurPaths& ours)
{
    if (target && length >= 1 && name[0] == '!') {
        name++;
        length--;
    }
    for (size_t i = 0; i < sizeof kDriveFolders / sizeof kDriveFolders[0]; i++) {
        size_t prefix = AsciiPrefixLength(name, length, kDriveFolders[i]);
        if (prefix != 0) {
            name += prefix;
            length -= prefix;
            break;
        }
    }
    const size_t streamLength = sizeof kUnnamedStream - 1;
    if (length >= streamLength &&
        AsciiPrefixLength(name + length - streamLength, streamLength, kUnnamedStream) != 0) {
        length -= streamLength;
    }
    size_t trimmed = length;
    while (trimmed != 0 && (name[trimmed - 1] == '.' || name[trimmed - 1] == ' ')) {
        trimmed--;
    }
    int endsInOurFileName = 0;
    for (int i = 0; i < ours.count; i++) {
        const WidePath& path = ours.forms[i];
        size_t fileLength = path.length - path.nameStart;
        if (path.length != 0 && path.length == length && SameUnitsNoCase(name, path.text, length)) {
            return kOurFile;
        }
        if (fileLength != 0 && trimmed >= fileLength &&
            SameUnitsNoCase(name + trimmed - fileLength, path.text + path.nameStart, fileLength)) {
            endsInOurFileName = 1;
        }
    }
    return endsInOurFileName && !IsPlainDrivePath(name, length) ? kMaybeOurFile : kOtherFile;
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
// list this code can rewrite without guessing at another program's entry. `*end` becomes the
// units of the pairs.
int IsWholeList(const WCHAR* units, DWORD bytes, size_t* end)
{
    *end = bytes / sizeof(WCHAR);
    if (bytes % 2 != 0 || (*end != 0 && units[*end - 1] != 0)) {
        return 0;
    }
    size_t strings = 0;
    for (size_t i = 0; i < *end; i++) {
        strings += units[i] == 0 ? 1 : 0;
    }
    if (strings % 2 != 0) {
        if (*end >= 2 && units[*end - 2] != 0) {
            return 0;  // a source without its target
        }
        --*end;  // the list's final empty string
    }
    return 1;
}

struct PendingRenames {
    HKEY key;
    WideRegistry registry;
    WCHAR valueName[sizeof kPendingRenamesValue];
};

LONG ReadPendingRenames(const PendingRenames& list, char* into, DWORD room, DWORD* type,
                        DWORD* read)
{
    *read = room;
    return list.registry.query(list.key, list.valueName, NULL, type, reinterpret_cast<BYTE*>(into),
                               read);
}

// One rewrite of the list: 1 or 0 as WithdrawInPendingRenames answers, or -1 when another program
// changed the list while it was being rewritten, which is then left as that program wrote it.
int RewritePendingRenames(const PendingRenames& list, const OurPaths& ours)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG status = list.registry.query(list.key, list.valueName, NULL, &type, NULL, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return 1;
    }
    if (status != ERROR_SUCCESS || size > kMaxListSize) {
        return 0;
    }
    // More than the size asked for, and even, so that every part of the block holds whole units:
    // a list grown since then is told by its length.
    const DWORD room = (size + 2) & ~1u;
    // The value as read, as read again, and what is kept of it, in one block.
    CHeapBuffer block(3 * room);
    if (block.text == NULL) {
        return 0;
    }
    char* const value = block.text;
    char* const again = value + room;
    char* const kept = again + room;
    DWORD read = 0;
    // Grown or gone since its size was asked, or not read: another try.
    if (ReadPendingRenames(list, value, room, &type, &read) != ERROR_SUCCESS || read > size) {
        return -1;
    }
    const WCHAR* units = reinterpret_cast<const WCHAR*>(value);
    size_t end = 0;
    // A value that is no list (no REG_MULTI_SZ, whose reading by the session manager this code
    // does not know, or no whole list of pairs) is left as it is.
    if (type != REG_MULTI_SZ || !IsWholeList(units, read, &end)) {
        return MentionsOurFile(value, read, ours) ? 0 : 1;
    }
    WCHAR* keptUnits = reinterpret_cast<WCHAR*>(kept);
    size_t keptLength = 0;
    int withdrawn = 0;
    int unsure = 0;
    for (size_t pos = 0; pos < end;) {
        const WCHAR* source = units + pos;
        size_t sourceLength = WideLength(source);
        const WCHAR* target = source + sourceLength + 1;
        size_t targetLength = WideLength(target);
        size_t pairLength = sourceLength + targetLength + 2;
        pos += pairLength;
        NameKind sourceKind = KindOfName(source, sourceLength, 0, ours);
        NameKind targetKind = KindOfName(target, targetLength, 1, ours);
        if (sourceKind == kOurFile || targetKind == kOurFile) {
            withdrawn++;
            continue;
        }
        unsure |= sourceKind == kMaybeOurFile || targetKind == kMaybeOurFile;
        memcpy(keptUnits + keptLength, source, pairLength * sizeof(WCHAR));
        keptLength += pairLength;
    }
    if (withdrawn == 0) {
        return unsure ? 0 : 1;
    }
    // Another program's pair added since the list was read would be lost by the write.
    DWORD readAgain = 0;
    status = ReadPendingRenames(list, again, room, &type, &readAgain);
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ || readAgain != read ||
        memcmp(again, value, read) != 0) {
        return -1;
    }
    if (keptLength == 0) {
        status = RegDeleteValueA(list.key, kPendingRenamesValue);
        if (status == ERROR_FILE_NOT_FOUND) {
            status = ERROR_SUCCESS;
        }
    } else {
        // The list's final empty string: zero already, and inside, as nothing kept grew.
        status = list.registry.set(list.key, list.valueName, 0, REG_MULTI_SZ,
                                   reinterpret_cast<const BYTE*>(kept),
                                   static_cast<DWORD>((keptLength + 1) * sizeof(WCHAR)));
    }
    return status == ERROR_SUCCESS && !unsure ? 1 : 0;
}

int WithdrawInPendingRenames(const OurPaths& ours)
{
    PendingRenames list;
    if (!FindWideRegistry(&list.registry) ||
        MultiByteToWideChar(CP_ACP, 0, kPendingRenamesValue, -1, list.valueName,
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
    list.key = key.Get();
    for (int attempt = 0; attempt < kRewriteAttempts; attempt++) {
        int result = RewritePendingRenames(list, ours);
        if (result >= 0) {
            return result;
        }
    }
    return 0;  // the list kept changing: nothing written
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
    OurPaths ours;
    if (!WidenForms(forms, count, &ours)) {
        return 0;
    }
    return windows9x ? WithdrawInWininit(forms, count) : WithdrawInPendingRenames(ours);
}
