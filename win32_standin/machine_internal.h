// Shared inner parts of the Win32 stand-in: the handle table, the call log with its armed failures,
// and the path rules of the simulated file system.
#pragma once

#include "simulated_machine.h"

#include <string>
#include <vector>

namespace sim {
namespace detail {

enum HandleKind : unsigned {
    kRegKeyHandle = 1,
    kScManagerHandle = 2,
    kServiceHandle = 4,
    kDeviceHandle = 8,
    kFileHandle = 16,
    kFindHandle = 32,
};

struct HandleEntry {
    HandleKind kind;
    std::string target;  // key path, service name, file path; empty for the manager and the device
    DWORD access = 0;
    size_t position = 0;  // where a file handle's next ReadFile starts, a listing's next name
};

// A fresh handle value; values are never reused, so a double close is always noticed.
void* OpenHandle(HandleKind kind, const std::string& target, DWORD access);
// The open handle `handle` when it is one of `kinds` (a mask), else null.
HandleEntry* FindHandle(const void* handle, unsigned kinds);
// Releases `handle` when it is open and one of `kinds`, copying its entry out first. False (and one
// more bad close) otherwise.
bool ReleaseHandle(const void* handle, unsigned kinds, HandleEntry* released);
size_t OpenHandlesTo(HandleKind kind, const std::string& target);

// Logs the call in Machine::calls; true when an armed failure hits it, with its error in *error.
bool EnterCall(const char* function, DWORD* error);

// Sets `error` as the last error and gives the calling function's failure value `result`.
template <typename T>
T Refuse(DWORD error, T result)
{
    SetLastError(error);
    return result;
}
// EnterCall for a call that fails as a whole when armed: sets the armed error, returns true.
bool CallFails(const char* function);

// A path of the simulated file system: its root ("C:" or "\\server\share") and its components.
struct FsPath {
    std::string root;
    std::vector<std::string> parts;
    std::string Full() const;
    std::string Parent() const;  // the root for a top-level entry
};
// Resolves `path` against Machine::currentDir the way Win32 does (drive-relative "C:x", rooted
// "\x", relative "x", "." and ".."; both slashes separate). False for what names no file at all.
bool ResolvePath(const char* path, FsPath* out);

// The 8.3 form Machine::shortNames holds for the full path `fullPath`, else `fullPath` itself;
// IsKnownShortForm: `fullPath` is one of those 8.3 forms.
std::string ShortFormOf(const std::string& fullPath);
bool IsKnownShortForm(const std::string& fullPath);

bool EqualNoCase(const std::string& a, const std::string& b);
bool StartsWithNoCase(const std::string& text, const std::string& prefix);

}  // namespace detail
}  // namespace sim
