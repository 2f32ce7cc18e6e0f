// The simulated machine: its state, reset, failure injection, the handle table and the
// conveniences tests use to set it up and read it back.
#include "machine_internal.h"

#include <ctype.h>
#include <stdint.h>
#include <strings.h>

#include <algorithm>

static_assert(sizeof(BYTE) == 1 && sizeof(WORD) == 2, "Windows widths");
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(ULONG) == 4, "Windows widths");
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes on Windows");
static_assert(sizeof(SERVICE_STATUS) == 28, "SERVICE_STATUS is 28 bytes on Windows");

namespace sim {

namespace {

// Armed failures and their errors: by function and the number its call count reaches, and by index
// in Machine::calls. The first arming of a call wins.
struct CallState {
    std::map<std::string, size_t> callCounts;
    std::map<std::pair<std::string, size_t>, DWORD> byName;
    std::map<size_t, DWORD> byIndex;
};

struct HandleTable {
    std::map<uintptr_t, detail::HandleEntry> open;
    uintptr_t next = 0x1000;
    size_t badCloses = 0;
};

CallState g_calls;
HandleTable g_handles;

thread_local DWORD t_lastError = 0;

// Adds `path` and every missing directory above it; the entry itself gets `entry`.
void AddEntry(const std::string& path, const FileEntry& entry)
{
    detail::FsPath resolved;
    if (!detail::ResolvePath(path.c_str(), &resolved))
        return;
    detail::FsPath walk{resolved.root, {}};
    for (const std::string& part : resolved.parts) {
        machine().files.emplace(walk.Full(), DirectoryEntry());
        walk.parts.push_back(part);
    }
    machine().files[resolved.Full()] = entry;
}

}  // namespace

bool NoCase::operator()(const std::string& a, const std::string& b) const
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

bool Service::operator==(const Service& o) const
{
    return displayName == o.displayName && imagePath == o.imagePath &&
           loadOrderGroup == o.loadOrderGroup && serviceType == o.serviceType &&
           startType == o.startType && errorControl == o.errorControl && state == o.state &&
           markedForDeletion == o.markedForDeletion && startError == o.startError &&
           stopAnswer == o.stopAnswer && deniedAccess == o.deniedAccess &&
           createAccess == o.createAccess && tagRequested == o.tagRequested &&
           dependencies == o.dependencies && account == o.account && password == o.password &&
           startCount == o.startCount && lastStartArgc == o.lastStartArgc;
}

FileEntry DirectoryEntry()
{
    return FileEntry{true, FILE_ATTRIBUTE_DIRECTORY, ""};
}

bool Snapshot::operator==(const Snapshot& o) const
{
    return registry == o.registry && services == o.services && files == o.files &&
           loaded == o.loaded && profiles == o.profiles;
}

namespace detail {

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    return strncasecmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

std::string ShortFormOf(const std::string& fullPath)
{
    auto known = machine().shortNames.find(fullPath);
    return known != machine().shortNames.end() ? known->second : fullPath;
}

bool IsKnownShortForm(const std::string& fullPath)
{
    for (const auto& item : machine().shortNames)
        if (EqualNoCase(item.second, fullPath))
            return true;
    return false;
}

void* OpenHandle(HandleKind kind, const std::string& target, DWORD access)
{
    uintptr_t value = g_handles.next;
    g_handles.next += 4;
    g_handles.open[value] = HandleEntry{kind, target, access};
    return reinterpret_cast<void*>(value);
}

HandleEntry* FindHandle(const void* handle, unsigned kinds)
{
    auto it = g_handles.open.find(reinterpret_cast<uintptr_t>(handle));
    if (it == g_handles.open.end() || (it->second.kind & kinds) == 0)
        return nullptr;
    return &it->second;
}

bool ReleaseHandle(const void* handle, unsigned kinds, HandleEntry* released)
{
    HandleEntry* entry = FindHandle(handle, kinds);
    if (entry == nullptr) {
        ++g_handles.badCloses;
        return false;
    }
    if (released != nullptr)
        *released = *entry;
    g_handles.open.erase(reinterpret_cast<uintptr_t>(handle));
    return true;
}

size_t OpenHandlesTo(HandleKind kind, const std::string& target)
{
    size_t count = 0;
    for (const auto& item : g_handles.open)
        if (item.second.kind == kind && EqualNoCase(item.second.target, target))
            ++count;
    return count;
}

bool CallFails(const char* function)
{
    DWORD error;
    bool fails = EnterCall(function, &error);
    if (fails)
        SetLastError(error);
    return fails;
}

bool EnterCall(const char* function, DWORD* error)
{
    size_t index = machine().calls.size();
    machine().calls.push_back(function);
    size_t number = ++g_calls.callCounts[function];

    auto byIndex = g_calls.byIndex.find(index);
    if (byIndex != g_calls.byIndex.end()) {
        *error = byIndex->second;
        g_calls.byIndex.erase(byIndex);
        return true;
    }
    auto byName = g_calls.byName.find({function, number});
    if (byName != g_calls.byName.end()) {
        *error = byName->second;
        g_calls.byName.erase(byName);
        return true;
    }
    return false;
}

std::string FsPath::Full() const
{
    std::string full = root;
    for (const std::string& part : parts)
        full += "\\" + part;
    return full;
}

std::string FsPath::Parent() const
{
    FsPath parent = *this;
    if (!parent.parts.empty())
        parent.parts.pop_back();
    return parent.Full();
}

namespace {

// Appends the components of `rest` to `out`, applying "." and "..".
void AppendComponents(const std::string& rest, FsPath* out)
{
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos)
            end = rest.size();
        std::string part = rest.substr(start, end - start);
        if (part == "..") {
            if (!out->parts.empty())
                out->parts.pop_back();
        } else if (!part.empty() && part != ".") {
            out->parts.push_back(part);
        }
        start = end + 1;
    }
}

bool IsDriveSpec(const std::string& path)
{
    return path.size() >= 2 && isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

bool ResolveAbsolute(const std::string& path, FsPath* out, const FsPath* current)
{
    out->root.clear();
    out->parts.clear();
    if (path.compare(0, 2, "\\\\") == 0) {
        // UNC: \\server\share\...; "\\.\" and "\\?\" name devices, not files.
        size_t serverEnd = path.find('\\', 2);
        if (serverEnd == std::string::npos)
            return false;
        size_t shareEnd = path.find('\\', serverEnd + 1);
        std::string server = path.substr(2, serverEnd - 2);
        std::string share = path.substr(serverEnd + 1, shareEnd - serverEnd - 1);
        if (server.empty() || server == "." || server == "?" || share.empty())
            return false;
        out->root = "\\\\" + server + "\\" + share;
        if (shareEnd != std::string::npos)
            AppendComponents(path.substr(shareEnd + 1), out);
        return true;
    }
    if (IsDriveSpec(path)) {
        std::string drive(1, static_cast<char>(toupper(static_cast<unsigned char>(path[0]))));
        drive += ':';
        if (path.size() >= 3 && path[2] == '\\') {
            out->root = drive;
            AppendComponents(path.substr(3), out);
            return true;
        }
        // "C:x" is relative to the current directory when it is on that drive, else to the root.
        if (current != nullptr && EqualNoCase(current->root, drive))
            *out = *current;
        else
            out->root = drive;
        AppendComponents(path.substr(2), out);
        return true;
    }
    if (current == nullptr)
        return false;
    if (!path.empty() && path[0] == '\\') {
        out->root = current->root;
        AppendComponents(path.substr(1), out);
        return true;
    }
    *out = *current;
    AppendComponents(path, out);
    return true;
}

}  // namespace

bool ResolvePath(const char* path, FsPath* out)
{
    if (path == nullptr || path[0] == '\0')
        return false;
    auto backslashed = [](std::string text) {
        std::replace(text.begin(), text.end(), '/', '\\');
        return text;
    };
    FsPath current;
    if (!ResolveAbsolute(backslashed(machine().currentDir), &current, nullptr))
        current = FsPath{"C:", {}};
    return ResolveAbsolute(backslashed(path), out, &current);
}

}  // namespace detail

Machine& machine()
{
    static Machine instance;
    return instance;
}

void Reset()
{
    machine() = Machine();
    SetVersion(VER_PLATFORM_WIN32_NT, 5, 1);
    SetVersionQueryFails(false);
    AddKey("HKLM\\System\\CurrentControlSet\\Services");
    AddKey("HKLM\\System\\CurrentControlSet\\Control\\Session Manager");
    AddDirectory("C:\\WINDOWS\\system32\\drivers");
    g_handles.open.clear();  // the next handle value stays: no handle of an earlier test matches
    g_handles.badCloses = 0;
    g_calls = CallState();
    t_lastError = 0;
}

void SetVersion(DWORD platformId, DWORD major, DWORD minor)
{
    machine().version = OSVERSIONINFOA{sizeof(OSVERSIONINFOA), major, minor, 0, platformId, {}};
}

void FailCall(const char* function, DWORD error, int occurrence)
{
    size_t number = g_calls.callCounts[function] + static_cast<size_t>(occurrence);
    g_calls.byName.emplace(std::make_pair(function, number), error);
}

void FailCallAt(size_t index, DWORD error)
{
    g_calls.byIndex.emplace(index, error);
}

void ClearFailures()
{
    g_calls.byName.clear();
    g_calls.byIndex.clear();
}

size_t OpenHandleCount()
{
    return g_handles.open.size();
}

std::vector<std::string> OpenHandleDescriptions()
{
    std::vector<std::string> out;
    for (const auto& item : g_handles.open) {
        const detail::HandleEntry& e = item.second;
        const char* kind = e.kind == detail::kRegKeyHandle      ? "registry key "
                           : e.kind == detail::kScManagerHandle ? "service control manager"
                           : e.kind == detail::kServiceHandle   ? "service "
                           : e.kind == detail::kDeviceHandle    ? "device \\\\.\\VXDLDR"
                           : e.kind == detail::kFindHandle      ? "listing "
                                                                : "file ";
        out.push_back(kind + e.target);
    }
    return out;
}

size_t BadCloseCount()
{
    return g_handles.badCloses;
}

bool KeyExists(const std::string& fullPath)
{
    return machine().registry.count(fullPath) != 0;
}

void AddKey(const std::string& fullPath)
{
    // Every key below the root ("HKLM" itself is not stored).
    size_t end = fullPath.find('\\');
    while (end != std::string::npos) {
        end = fullPath.find('\\', end + 1);
        machine().registry[fullPath.substr(0, end)];
    }
}

const RegValue* FindValue(const std::string& keyFullPath, const std::string& valueName)
{
    auto key = machine().registry.find(keyFullPath);
    if (key == machine().registry.end())
        return nullptr;
    auto value = key->second.values.find(valueName);
    return value == key->second.values.end() ? nullptr : &value->second;
}

void AddDirectory(const std::string& path)
{
    AddEntry(path, DirectoryEntry());
}

void AddFile(const std::string& path, DWORD attributes, const std::string& content)
{
    AddEntry(path, FileEntry{false, attributes, content});
}

Snapshot TakeSnapshot()
{
    const Machine& m = machine();
    return Snapshot{m.registry, m.services, m.files, m.vxd.loaded, m.profiles};
}

}  // namespace sim

extern "C" DWORD GetLastError(void)
{
    return sim::t_lastError;
}

extern "C" void SetLastError(DWORD error)
{
    sim::t_lastError = error;
}
