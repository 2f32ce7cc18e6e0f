// The simulated machine behind the Win32 stand-in: what tests set up and inspect. One machine per
// process, reset between tests. Only the native tests include this header; production code sees
// nothing but <windows.h>.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sim {

// Case-insensitive ordering, as the registry, the service database and the file system compare.
struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
};

// A key's full path from its root, e.g. "HKLM\System\CurrentControlSet\Services\WinDriver".
struct RegKey {
    std::map<std::string, RegValue, NoCase> values;
    bool operator==(const RegKey& other) const { return values == other.values; }
};

struct Service {
    std::string displayName;
    std::string imagePath;
    std::string loadOrderGroup;
    DWORD serviceType = SERVICE_KERNEL_DRIVER;
    DWORD startType = SERVICE_DEMAND_START;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
    DWORD state = SERVICE_STOPPED;
    bool markedForDeletion = false;
    // Driver behaviour: a non-zero startError makes StartServiceA fail with that code; stopAnswer is
    // the state the driver reports after a stop control (SERVICE_STOP_PENDING for a slow driver).
    DWORD startError = 0;
    DWORD stopAnswer = SERVICE_STOPPED;
    // The service's own security: the rights it refuses this user. OpenServiceA asked for any of
    // them fails with ERROR_ACCESS_DENIED.
    DWORD deniedAccess = 0;
    // What CreateServiceA was given beyond the fields above (null strings read as empty).
    DWORD createAccess = 0;
    bool tagRequested = false;
    std::string dependencies;
    std::string account;
    std::string password;
    // Successful starts, and the argument count of the last StartServiceA call.
    int startCount = 0;
    DWORD lastStartArgc = 0;
    bool operator==(const Service& o) const;
};

struct FileEntry {
    bool directory = false;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    std::string content;  // a file's bytes, for ReadFile
    bool operator==(const FileEntry& o) const
    {
        return directory == o.directory && attributes == o.attributes && content == o.content;
    }
};
FileEntry DirectoryEntry();  // an empty directory

// One device-control request received by the VxD loader device.
struct LoaderRequest {
    DWORD code = 0;
    std::vector<BYTE> input;  // exactly the inSize bytes the caller passed
    bool hadOutputBuffer = false;
    DWORD outSize = 0;
    BOOL result = FALSE;
};

// One CreateFileA call that opened (or tried to open) "\\.\VXDLDR".
struct DeviceOpen {
    DWORD access = 0;
    DWORD shareMode = 0;
    bool securityNull = true;
    DWORD disposition = 0;
    DWORD flags = 0;
    bool templateNull = true;
};

struct VxdLoader {
    bool present = true;                // "\\.\VXDLDR" can be opened
    std::map<std::string, int> loaded;  // load count per upper-case base name (WINDRVR)
    bool acceptEveryUnload = false;     // a loader that never runs out of unloads
    DWORD loadError = 0;                // non-zero: every load request fails with it
    std::vector<LoaderRequest> requests;
    std::vector<DeviceOpen> opens;
};

// One OpenSCManagerA call; machine and database are "(null)" when passed as null.
struct ScmOpen {
    std::string machineName;
    std::string databaseName;
    DWORD access = 0;
};

// One SHFileOperationA call: its lists as the shell reads them (entries up to the second NUL).
struct ShellOperation {
    UINT function = 0;
    std::vector<std::string> from;
    std::vector<std::string> to;  // empty for a null pTo
    WORD flags = 0;
    std::string progressTitle;
};

// A profile (.INI) file: each section's "key=value" lines, in their order.
using ProfileFile = std::map<std::string, std::vector<std::string>, NoCase>;

struct Machine {
    OSVERSIONINFOA version{};  // what GetVersionExA reports
    // kernel32's IsWow64Process: absent (Windows 95 to 2000, XP before SP2) or exported, then
    // answering `wow64` (TRUE: a 32-bit process on 64-bit Windows).
    bool isWow64ProcessExported = false;
    BOOL wow64 = FALSE;
    std::string windowsDir = "C:\\WINDOWS";
    std::string systemDir = "C:\\WINDOWS\\system32";
    std::string currentDir = "C:\\";

    std::map<std::string, RegKey, NoCase> registry;  // every key by full path, "HKLM\..." form
    std::vector<std::string> valueWrites;  // "<key path>:<value name>" per stored value, in order
    bool scmAvailable = true;              // OpenSCManagerA succeeds
    std::map<std::string, Service, NoCase> services;
    std::vector<ScmOpen> scmOpens;
    std::map<std::string, FileEntry, NoCase> files;  // full paths; "C:" style drive roots too
    // 8.3 forms of long file names by full path; a file without one answers its path as given.
    // A known 8.3 form names its file too (GetShortPathNameA answers it as given, the shell's
    // copy sees it as the same folder as its long form).
    std::map<std::string, std::string, NoCase> shortNames;
    std::map<std::string, ProfileFile, NoCase> profiles;  // WININIT.INI and the like, by full path
    // Profile files written since the last flush of Windows' cached copy (their full paths).
    std::set<std::string, NoCase> unflushedProfiles;
    VxdLoader vxd;

    std::vector<ShellOperation> shellOperations;
    int shellResult = 0;               // what SHFileOperationA returns (0: success)
    std::vector<std::string> mutexes;  // names of the mutexes created so far

    // Functions that GetProcAddress does not find, as on a Windows without them.
    std::vector<std::string> missingExports;

    DWORD sleptMs = 0;
    std::vector<std::string> calls;  // every stand-in call by function name, in order
    // Run after each read of a value's data: another program at work between a caller's read of
    // a value and its write.
    std::function<void()> afterValueRead;
};

Machine& machine();

// Back to a fresh machine: Windows XP (platform 2, 5.1), drive C: with C:\WINDOWS,
// C:\WINDOWS\system32 and C:\WINDOWS\system32\drivers, an empty HKLM\System\CurrentControlSet\Services
// key and an empty HKLM\System\CurrentControlSet\Control\Session Manager key, no services, a
// present VxD loader with nothing loaded, no failures armed, no open handles.
void Reset();

void SetVersion(DWORD platformId, DWORD major, DWORD minor);
void SetVersionQueryFails(bool fails);

// Failure injection. An armed call returns its failure value (NULL, FALSE, INVALID_HANDLE_VALUE,
// INVALID_FILE_ATTRIBUTES, 0, or the registry functions' error result) and reports `error` through
// GetLastError (the registry functions return it instead). A failing close still releases the
// handle, so that open-handle counts judge only the caller. An armed call has no other effect,
// except that a failing DeviceIoControl is still recorded among the loader's requests.
// FailCall counts from the moment it is armed (occurrence 1 is the next call of `function`);
// FailCallAt uses the index the call gets in Machine::calls. GetLastError and SetLastError are
// neither logged nor failable.
void FailCall(const char* function, DWORD error,
              int occurrence = 1);           // the occurrence-th call of it
void FailCallAt(size_t index, DWORD error);  // the index-th call (0-based) of all
void ClearFailures();

// Open handles of every kind (registry keys, service-manager and service handles, file handles).
size_t OpenHandleCount();
std::vector<std::string> OpenHandleDescriptions();
// How many times CloseServiceHandle/RegCloseKey/CloseHandle were called on a handle that was not
// open (double closes and closes of garbage).
size_t BadCloseCount();

// Registry and service conveniences for tests.
bool KeyExists(const std::string& fullPath);
// Creates the key and every missing key above it, as the registry always has them.
void AddKey(const std::string& fullPath);
const RegValue* FindValue(const std::string& keyFullPath, const std::string& valueName);
void AddDirectory(const std::string& path);
void AddFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL,
             const std::string& content = std::string());

// Everything a registrar or the programs can change, for before/after comparisons.
struct Snapshot {
    std::map<std::string, RegKey, NoCase> registry;
    std::map<std::string, Service, NoCase> services;
    std::map<std::string, FileEntry, NoCase> files;
    std::map<std::string, int> loaded;
    std::map<std::string, ProfileFile, NoCase> profiles;
    bool operator==(const Snapshot& o) const;
};
Snapshot TakeSnapshot();

}  // namespace sim
