// The kernel side of the stand-in: version query, directories, Sleep, the file system, the VxD
// loader device, the delete at the next restart (MoveFileExA and WININIT.INI), the process heap,
// the ANSI to UTF-16 conversion, the run-time lookup of functions, path names and their
// comparison.
#include "machine_internal.h"

#include <algorithm>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

using sim::machine;
using namespace sim::detail;

namespace {

bool g_versionQueryFails = false;

const char kLoaderDevice[] = "\\\\.\\VXDLDR";
const char kSessionManagerKey[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenamesValue[] = "PendingFileRenameOperations";

// Windows' size rule for the directory and short name queries: the length without the NUL when
// the buffer holds the text with its NUL, else the size needed including the NUL and nothing
// written.
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size)
{
    DWORD length = static_cast<DWORD>(text.size());
    if (buffer == nullptr || size <= length)
        return length + 1;
    memcpy(buffer, text.c_str(), length + 1);
    return length;
}

const sim::FileEntry* FindEntry(const std::string& fullPath)
{
    auto it = machine().files.find(fullPath);
    return it == machine().files.end() ? nullptr : &it->second;
}

bool IsDirectoryEntry(const std::string& fullPath)
{
    const sim::FileEntry* entry = FindEntry(fullPath);
    return entry != nullptr && entry->directory;
}

// The error Windows reports for a path that names nothing: a missing file in an existing
// directory is ERROR_FILE_NOT_FOUND, anything missing on the way there ERROR_PATH_NOT_FOUND.
DWORD MissingError(const FsPath& path)
{
    bool inDirectory = !path.parts.empty() && IsDirectoryEntry(path.Parent());
    return inDirectory ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// Base name of a loaded file as the loader keys it: no directory, no extension, upper case.
std::string LoaderName(const std::string& path)
{
    size_t slash = path.find_last_of("\\/:");
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos)
        base.erase(dot);
    for (char& c : base)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return base;
}

// The loader's answer to one request; 0 for success, else the error DeviceIoControl reports.
DWORD AnswerLoader(DWORD code, const std::vector<BYTE>& input)
{
    sim::VxdLoader& vxd = machine().vxd;
    if (code == 1) {
        if (input.empty() || memchr(input.data(), 0, input.size()) == nullptr)
            return ERROR_INVALID_PARAMETER;
        if (vxd.loadError != 0)
            return vxd.loadError;
        ++vxd.loaded[LoaderName(reinterpret_cast<const char*>(input.data()))];
        return 0;
    }
    if (code == 2) {
        // {DWORD deviceId; char deviceName[256]}: look-up by name needs deviceId 0xFFFFFFFF; the
        // name is compared exactly, as the loader compares it with the VxD's upper-case name.
        if (input.size() < 260)
            return ERROR_INVALID_PARAMETER;
        DWORD id =
            DWORD(input[0]) | DWORD(input[1]) << 8 | DWORD(input[2]) << 16 | DWORD(input[3]) << 24;
        const char* name = reinterpret_cast<const char*>(input.data() + 4);
        if (id != 0xFFFFFFFFu || memchr(name, 0, input.size() - 4) == nullptr)
            return ERROR_INVALID_PARAMETER;
        if (vxd.acceptEveryUnload)
            return 0;
        auto it = vxd.loaded.find(name);
        if (it == vxd.loaded.end() || it->second <= 0)
            return ERROR_GEN_FAILURE;
        if (--it->second == 0)
            vxd.loaded.erase(it);
        return 0;
    }
    return ERROR_INVALID_FUNCTION;
}

// The checks a path-taking call makes before it looks at the file system, with Windows' errors; the
// ANSI functions convert through a buffer of `limit` characters. 0 when `path` resolved.
DWORD CheckPath(const char* path, size_t limit, FsPath* resolved)
{
    if (path == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (strlen(path) >= limit)
        return ERROR_FILENAME_EXCED_RANGE;
    if (path[0] == '\0')
        return ERROR_PATH_NOT_FOUND;
    if (!ResolvePath(path, resolved) || strpbrk(path, "*?") != nullptr)
        return ERROR_INVALID_NAME;
    return 0;
}

// The stand-in's ANSI code page maps each byte to the character of the same number (ISO 8859-1).
void AppendUtf16(const std::string& text, std::vector<BYTE>* bytes)
{
    for (unsigned char c : text) {
        bytes->push_back(c);
        bytes->push_back(0);
    }
}

// Reached only through GetProcAddress, as the programs reach it.
BOOL WINAPI IsWow64ProcessOfKernel32(HANDLE process, BOOL* wow64)
{
    if (CallFails("IsWow64Process"))
        return FALSE;
    if (process != GetCurrentProcess() || wow64 == nullptr)
        return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    *wow64 = machine().wow64;
    return TRUE;
}

// The modules that GetModuleHandleA finds (each handle its index here plus one), and the
// functions that GetProcAddress finds in them: those looked up at run time.
const char* const kModules[] = {"kernel32.dll", "advapi32.dll"};

template <typename Function>
FARPROC AsFarProc(Function* function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

struct Export {
    const char* module;
    const char* name;
    FARPROC address;
};
const Export kExports[] = {
    {"advapi32.dll", "RegQueryValueExW", AsFarProc(RegQueryValueExW)},
    {"advapi32.dll", "RegSetValueExW", AsFarProc(RegSetValueExW)},
    {"advapi32.dll", "ChangeServiceConfigA", AsFarProc(ChangeServiceConfigA)},
    {"kernel32.dll", "IsWow64Process", AsFarProc(IsWow64ProcessOfKernel32)},
};

// A profile file named without a folder lives in the Windows directory.
std::string ProfilePath(const char* fileName)
{
    FsPath path;
    if (strpbrk(fileName, "\\/:") == nullptr)
        return machine().windowsDir + "\\" + fileName;
    return ResolvePath(fileName, &path) ? path.Full() : std::string(fileName);
}

// An export of the table that the simulated Windows lacks.
bool Lacks(const Export& entry)
{
    const auto& missing = machine().missingExports;
    if (std::find(missing.begin(), missing.end(), entry.name) != missing.end())
        return true;
    return strcmp(entry.name, "IsWow64Process") == 0 && !machine().isWow64ProcessExported;
}

}  // namespace

void sim::SetVersionQueryFails(bool fails)
{
    g_versionQueryFails = fails;
}

namespace {

// A folder's names as a listing gives them: "." and ".." first (as in any folder but a drive's
// root), then its entries in the order the simulated file system keeps them.
std::vector<std::string> ListingOf(const std::string& folder)
{
    std::vector<std::string> names = {".", ".."};
    for (const auto& file : machine().files) {
        size_t slash = file.first.find_last_of('\\');
        if (slash != std::string::npos && EqualNoCase(file.first.substr(0, slash), folder))
            names.push_back(file.first.substr(slash + 1));
    }
    return names;
}

// The listing's next entry into `found`; ERROR_NO_MORE_FILES at its end.
BOOL NextListed(HandleEntry* listing, LPWIN32_FIND_DATAA found)
{
    std::vector<std::string> names = ListingOf(listing->target);
    if (listing->position >= names.size())
        return Refuse(ERROR_NO_MORE_FILES, FALSE);
    const std::string& name = names[listing->position++];
    memset(found, 0, sizeof *found);
    const sim::FileEntry* entry = FindEntry(listing->target + "\\" + name);
    found->dwFileAttributes =
        entry == nullptr || entry->directory ? FILE_ATTRIBUTE_DIRECTORY : entry->attributes;
    found->nFileSizeLow = entry != nullptr ? static_cast<DWORD>(entry->content.size()) : 0;
    snprintf(found->cFileName, sizeof found->cFileName, "%s", name.c_str());
    SetLastError(0);
    return TRUE;
}

}  // namespace

extern "C" {

void Sleep(DWORD milliseconds)
{
    DWORD error;
    EnterCall("Sleep", &error);
    machine().sleptMs += milliseconds;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info)
{
    if (CallFails("GetVersionExA"))
        return FALSE;
    if (info == nullptr)
        return Refuse(ERROR_NOACCESS, FALSE);
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return Refuse(ERROR_INSUFFICIENT_BUFFER, FALSE);
    if (g_versionQueryFails)
        return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    *info = machine().version;
    info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    return TRUE;
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    if (CallFails("GetWindowsDirectoryA"))
        return 0;
    return CopyOut(machine().windowsDir, buffer, size);
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size)
{
    if (CallFails("GetSystemDirectoryA"))
        return 0;
    return CopyOut(machine().systemDir, buffer, size);
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if (CallFails("CreateFileA"))
        return INVALID_HANDLE_VALUE;
    if (name != nullptr && strncmp(name, "\\\\.\\", 4) == 0) {
        if (!EqualNoCase(name, kLoaderDevice) || !machine().vxd.present)
            return Refuse(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        machine().vxd.opens.push_back(
            {access, shareMode, security == nullptr, disposition, flags, templateFile == nullptr});
        SetLastError(0);
        return OpenHandle(kDeviceHandle, "", access);
    }
    FsPath path;
    DWORD error = CheckPath(name, MAX_PATH, &path);
    if (error != 0)
        return Refuse(error, INVALID_HANDLE_VALUE);
    const sim::FileEntry* entry = FindEntry(path.Full());
    if (entry != nullptr && entry->directory)
        return Refuse(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    // Files are only opened to be read: no caller creates, truncates, writes or deletes one.
    if (disposition != OPEN_EXISTING || (access & GENERIC_WRITE) != 0)
        return Refuse(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (entry == nullptr)
        return Refuse(MissingError(path), INVALID_HANDLE_VALUE);
    SetLastError(0);
    return OpenHandle(kFileHandle, path.Full(), access);
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD returned, LPOVERLAPPED overlapped)
{
    DWORD armed;
    bool fails = EnterCall("DeviceIoControl", &armed);
    if (FindHandle(device, kDeviceHandle) == nullptr)
        return Refuse(fails ? armed : ERROR_INVALID_HANDLE, FALSE);
    sim::LoaderRequest request{code, {}, out != nullptr, outSize, FALSE};
    const BYTE* bytes = static_cast<const BYTE*>(in);
    if (in != nullptr)
        request.input.assign(bytes, bytes + inSize);  // reads exactly what the caller claims
    DWORD error = fails ? armed : 0;
    // Without an OVERLAPPED record Windows writes the byte count through `returned`.
    if (error == 0 &&
        ((in == nullptr && inSize != 0) || (returned == nullptr && overlapped == nullptr)))
        error = ERROR_NOACCESS;
    if (error == 0)
        error = AnswerLoader(code, request.input);
    if (returned != nullptr)
        *returned = 0;
    request.result = error == 0 ? TRUE : FALSE;
    machine().vxd.requests.push_back(request);
    SetLastError(error);
    return request.result;
}

BOOL CloseHandle(HANDLE handle)
{
    DWORD error;
    bool fails = EnterCall("CloseHandle", &error);
    if (!ReleaseHandle(handle, kDeviceHandle | kFileHandle, nullptr))
        return Refuse(ERROR_INVALID_HANDLE, FALSE);
    return fails ? Refuse(error, FALSE) : TRUE;
}

// Only the form "<folder>\*" is listed: the one pattern setup uses.
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found)
{
    if (CallFails("FindFirstFileA"))
        return INVALID_HANDLE_VALUE;
    std::string text = pattern != nullptr ? pattern : "";
    if (found == nullptr || text.size() < 2 || text.compare(text.size() - 2, 2, "\\*") != 0)
        return Refuse(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    FsPath path;
    DWORD error = CheckPath(text.substr(0, text.size() - 2).c_str(), MAX_PATH, &path);
    if (error != 0)
        return Refuse(error, INVALID_HANDLE_VALUE);
    if (!IsDirectoryEntry(path.Full()))
        return Refuse(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    HANDLE listing = OpenHandle(kFindHandle, path.Full(), 0);
    NextListed(FindHandle(listing, kFindHandle), found);
    return listing;
}

BOOL FindNextFileA(HANDLE listing, LPWIN32_FIND_DATAA found)
{
    DWORD error;
    bool fails = EnterCall("FindNextFileA", &error);
    HandleEntry* entry = FindHandle(listing, kFindHandle);
    if (fails || entry == nullptr || found == nullptr)
        return Refuse(fails ? error : ERROR_INVALID_HANDLE, FALSE);
    return NextListed(entry, found);
}

BOOL FindClose(HANDLE listing)
{
    DWORD error;
    bool fails = EnterCall("FindClose", &error);
    if (!ReleaseHandle(listing, kFindHandle, nullptr))
        return Refuse(ERROR_INVALID_HANDLE, FALSE);
    return fails ? Refuse(error, FALSE) : TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped)
{
    DWORD error;
    bool fails = EnterCall("ReadFile", &error);
    if (read != nullptr)
        *read = 0;
    HandleEntry* entry = FindHandle(file, kFileHandle);
    if (fails || entry == nullptr)
        return Refuse(fails ? error : ERROR_INVALID_HANDLE, FALSE);
    if ((entry->access & GENERIC_READ) == 0)
        return Refuse(ERROR_ACCESS_DENIED, FALSE);
    if ((read == nullptr && overlapped == nullptr) || (buffer == nullptr && toRead != 0))
        return Refuse(ERROR_NOACCESS, FALSE);
    // The file may have gone (deleted by a test): it then reads as empty.
    const sim::FileEntry* stored = FindEntry(entry->target);
    const std::string* content = stored != nullptr ? &stored->content : nullptr;
    size_t size = content != nullptr ? content->size() : 0;
    size_t count = entry->position < size ? size - entry->position : 0;
    if (count > toRead)
        count = toRead;
    if (count != 0)
        memcpy(buffer, content->data() + entry->position, count);
    entry->position += count;
    if (read != nullptr)
        *read = static_cast<DWORD>(count);
    SetLastError(0);
    return TRUE;
}

// Blocks of exactly the bytes asked for, from the C library's heap, so that AddressSanitizer sees
// any access behind them; a block not zero-filled holds 0xA5 bytes, as a reused block holds
// something. Neither logged nor failable.
HANDLE GetProcessHeap(void)
{
    static int heap;
    return &heap;
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
{
    if (heap != GetProcessHeap())
        return nullptr;
    void* block = malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr)
        memset(block, (flags & HEAP_ZERO_MEMORY) != 0 ? 0 : 0xA5, bytes);
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID block)
{
    if (heap != GetProcessHeap())
        return FALSE;
    free(block);
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path)
{
    if (CallFails("GetFileAttributesA"))
        return INVALID_FILE_ATTRIBUTES;
    FsPath resolved;
    DWORD error = CheckPath(path, MAX_PATH, &resolved);
    if (error != 0)
        return Refuse(error, INVALID_FILE_ATTRIBUTES);
    const sim::FileEntry* entry = FindEntry(resolved.Full());
    if (entry == nullptr)
        return Refuse(MissingError(resolved), INVALID_FILE_ATTRIBUTES);
    return entry->directory ? (entry->attributes | FILE_ATTRIBUTE_DIRECTORY) : entry->attributes;
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    if (CallFails("SetFileAttributesA"))
        return FALSE;
    FsPath resolved;
    if (CheckPath(path, MAX_PATH, &resolved) != 0)
        return Refuse(ERROR_INVALID_NAME, FALSE);
    auto it = machine().files.find(resolved.Full());
    if (it == machine().files.end())
        return Refuse(MissingError(resolved), FALSE);
    // The directory attribute is the entry's kind, not something a caller can set.
    it->second.attributes = attributes & ~DWORD(FILE_ATTRIBUTE_DIRECTORY);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES)
{
    if (CallFails("CreateDirectoryA"))
        return FALSE;
    // The ANSI form leaves room for an 8.3 name below the new directory: 248 characters at most.
    FsPath resolved;
    DWORD error = CheckPath(path, MAX_PATH - 12, &resolved);
    if (error != 0)
        return Refuse(error, FALSE);
    std::string full = resolved.Full();
    if (resolved.parts.empty()) {
        // A drive or share root: Windows refuses to create it again with ERROR_ACCESS_DENIED.
        SetLastError(FindEntry(full) != nullptr ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (FindEntry(full) != nullptr)
        return Refuse(ERROR_ALREADY_EXISTS, FALSE);
    if (!IsDirectoryEntry(resolved.Parent()))
        return Refuse(ERROR_PATH_NOT_FOUND, FALSE);
    machine().files[full] = sim::DirectoryEntry();
    return TRUE;
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size)
{
    if (CallFails("GetShortPathNameA"))
        return 0;
    FsPath resolved;
    if (CheckPath(longPath, SIZE_MAX, &resolved) != 0)
        return Refuse(ERROR_INVALID_PARAMETER, 0);
    if (FindEntry(resolved.Full()) == nullptr && !IsKnownShortForm(resolved.Full()))
        return Refuse(MissingError(resolved), 0);
    auto known = machine().shortNames.find(resolved.Full());
    return CopyOut(known != machine().shortNames.end() ? known->second : longPath, shortPath, size);
}

// The name alone, as Windows resolves it without asking the file system: relative names, "." and
// ".." against the current directory, both slashes; a trailing backslash and a drive's root kept.
DWORD GetFullPathNameA(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* filePart)
{
    if (CallFails("GetFullPathNameA"))
        return 0;
    FsPath resolved;
    if (path == nullptr || !ResolvePath(path, &resolved))
        return Refuse(ERROR_INVALID_NAME, DWORD(0));
    std::string full = resolved.Full();
    const char last = path[strlen(path) - 1];
    if (resolved.parts.empty() ? resolved.root.size() == 2 : last == '\\' || last == '/')
        full += "\\";
    DWORD length = CopyOut(full, buffer, size);
    if (filePart != nullptr) {
        bool named = length < size && full.back() != '\\' && !resolved.parts.empty();
        *filePart = named ? buffer + full.size() - resolved.parts.back().size() : nullptr;
    }
    return length;
}

// The stand-in's code page (1252) has no lead bytes; the compare folds ASCII letters only.
BOOL IsDBCSLeadByte(BYTE)
{
    return FALSE;
}

int lstrcmpiA(LPCSTR a, LPCSTR b)
{
    return strcasecmp(a, b);
}

HANDLE GetCurrentProcess(void)
{
    return reinterpret_cast<HANDLE>(intptr_t(-1));  // the pseudo-handle Windows gives
}

// Only the delete at the restart: the pair (NT path of the file, empty target) appended to the
// session manager's list as NT writes it, in UTF-16, the list's final NUL moved behind the pair.
BOOL MoveFileExA(LPCSTR existing, LPCSTR replacement, DWORD flags)
{
    if (CallFails("MoveFileExA"))
        return FALSE;
    FsPath resolved;
    if (existing == nullptr || replacement != nullptr || flags != MOVEFILE_DELAY_UNTIL_REBOOT ||
        !ResolvePath(existing, &resolved))
        return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    sim::AddKey(kSessionManagerKey);
    auto& values = machine().registry[kSessionManagerKey].values;
    auto found = values.find(kPendingRenamesValue);
    if (found != values.end() && found->second.type != REG_MULTI_SZ)
        return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    sim::RegValue& value = values[kPendingRenamesValue];
    value.type = REG_MULTI_SZ;
    std::vector<BYTE>& data = value.data;
    if (data.size() >= 2 && data.size() % 2 == 0 && data.back() == 0 && data[data.size() - 2] == 0)
        data.resize(data.size() - 2);
    AppendUtf16("\\??\\" + resolved.Full(), &data);
    data.insert(data.end(), 6, 0);
    machine().valueWrites.push_back(std::string(kSessionManagerKey) + ":" + kPendingRenamesValue);
    return TRUE;
}

// Windows' answer for a section that does not fit: as much as fits, cut inside a line, two NULs,
// and size - 2.
DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR fileName)
{
    if (CallFails("GetPrivateProfileSectionA"))
        return 0;
    if (section == nullptr || fileName == nullptr || buffer == nullptr || size < 2)
        return 0;
    std::vector<std::string> lines;
    auto file = machine().profiles.find(ProfilePath(fileName));
    if (file != machine().profiles.end() && file->second.count(section) != 0)
        lines = file->second.at(section);
    DWORD used = 0;
    for (const std::string& line : lines) {
        if (used + line.size() + 2 > size) {
            if (used < size - 2)
                memcpy(buffer + used, line.data(), size - 2 - used);
            buffer[size - 2] = '\0';
            buffer[size - 1] = '\0';
            return size - 2;
        }
        memcpy(buffer + used, line.c_str(), line.size() + 1);
        used += static_cast<DWORD>(line.size() + 1);
    }
    buffer[used] = '\0';
    if (used == 0)
        buffer[1] = '\0';
    return used;
}

// The lines replace the section's, read up to the list's double NUL; no list deletes the section.
BOOL WritePrivateProfileSectionA(LPCSTR section, LPCSTR lines, LPCSTR fileName)
{
    if (CallFails("WritePrivateProfileSectionA"))
        return FALSE;
    if (section == nullptr || fileName == nullptr)
        return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    std::string path = ProfilePath(fileName);
    if (IsDirectoryEntry(path))
        return Refuse(ERROR_ACCESS_DENIED, FALSE);
    machine().unflushedProfiles.insert(path);
    sim::ProfileFile& file = machine().profiles[path];
    file.erase(section);
    if (lines == nullptr)
        return TRUE;
    std::vector<std::string>& stored = file[section];
    for (const char* line = lines; *line != '\0'; line += strlen(line) + 1)
        stored.push_back(line);
    return TRUE;
}

// Only the flush of Windows' cached copy of a profile file (every other argument null), which
// answers FALSE whether or not it wrote.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR fileName)
{
    if (CallFails("WritePrivateProfileStringA"))
        return FALSE;
    if (section != nullptr || key != nullptr || text != nullptr || fileName == nullptr)
        return Refuse(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
    machine().unflushedProfiles.erase(ProfilePath(fileName));
    return FALSE;
}

// CP_ACP without flags only; the size rules as Windows': `bytes` -1 takes the NUL too, `units` 0
// asks for the size.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int bytes, LPWSTR wide, int units)
{
    if (CallFails("MultiByteToWideChar"))
        return 0;
    if (codePage != CP_ACP || flags != 0 || text == nullptr || bytes == 0 || bytes < -1 ||
        units < 0 || (units != 0 && wide == nullptr))
        return Refuse(ERROR_INVALID_PARAMETER, 0);
    std::vector<BYTE> converted;
    AppendUtf16(std::string(text, bytes == -1 ? strlen(text) + 1 : static_cast<size_t>(bytes)),
                &converted);
    int needed = static_cast<int>(converted.size() / 2);
    if (units == 0)
        return needed;
    if (units < needed)
        return Refuse(ERROR_INSUFFICIENT_BUFFER, 0);
    memcpy(wide, converted.data(), converted.size());
    return needed;
}

// A module by its file name, ".dll" optional, without regard to case.
HMODULE GetModuleHandleA(LPCSTR name)
{
    if (CallFails("GetModuleHandleA"))
        return nullptr;
    for (size_t i = 0; name != nullptr && i < sizeof kModules / sizeof kModules[0]; ++i) {
        std::string module = kModules[i];
        if (EqualNoCase(name, module) || EqualNoCase(name, module.substr(0, module.size() - 4)))
            return reinterpret_cast<HMODULE>(i + 1);
    }
    return Refuse(ERROR_MOD_NOT_FOUND, HMODULE(nullptr));
}

// An exported name compares with regard to case, as Windows compares it.
FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (CallFails("GetProcAddress"))
        return nullptr;
    size_t index = reinterpret_cast<size_t>(module) - 1;
    if (index >= sizeof kModules / sizeof kModules[0])
        return Refuse(ERROR_INVALID_HANDLE, FARPROC(nullptr));
    for (const Export& entry : kExports) {
        if (name != nullptr && strcmp(entry.module, kModules[index]) == 0 &&
            strcmp(entry.name, name) == 0 && !Lacks(entry))
            return entry.address;
    }
    return Refuse(ERROR_PROC_NOT_FOUND, FARPROC(nullptr));
}

}  // extern "C"
