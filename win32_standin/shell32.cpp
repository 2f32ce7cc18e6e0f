// The shell side of the stand-in: SHFileOperationA reads its lists as the shell does and records
// them; a delete removes the files it names; a copy onto itself fails.
#include "machine_internal.h"

#include <shellapi.h>

using sim::machine;
using namespace sim::detail;

namespace {

// The shell reads a list entry by entry up to an empty entry (the second NUL). A list that lacks
// it runs on into whatever follows; the bound only keeps the stand-in itself in its memory.
std::vector<std::string> ReadList(const char* list)
{
    std::vector<std::string> entries;
    if (list == nullptr)
        return entries;
    for (int n = 0; *list != '\0' && n < 64; ++n) {
        entries.emplace_back(list);
        list += entries.back().size() + 1;
    }
    return entries;
}

// A copy whose source folder is its destination, long or 8.3 forms alike: the shell fails it with
// its "same file" error (DE_SAMEFILE), file by file.
bool CopiesOntoItself(const sim::ShellOperation& copy)
{
    FsPath to;
    if (copy.to.empty() || !ResolvePath(copy.to[0].c_str(), &to))
        return false;
    for (const std::string& entry : copy.from) {
        FsPath from;
        if (ResolvePath(entry.c_str(), &from) &&
            EqualNoCase(ShortFormOf(from.Parent()), ShortFormOf(to.Full())))
            return true;
    }
    return false;
}

const int kShellSameFile = 0x71;

}  // namespace

extern "C" {

int SHFileOperationA(LPSHFILEOPSTRUCTA operation)
{
    DWORD error;
    if (EnterCall("SHFileOperationA", &error))
        return static_cast<int>(error);
    const char* title = operation->lpszProgressTitle;
    sim::ShellOperation record{operation->wFunc, ReadList(operation->pFrom),
                               ReadList(operation->pTo), operation->fFlags, title ? title : ""};
    machine().shellOperations.push_back(record);
    if (machine().shellResult != 0)
        return machine().shellResult;
    if (operation->wFunc == FO_COPY && CopiesOntoItself(record))
        return kShellSameFile;
    if (operation->wFunc == FO_DELETE) {
        for (const std::string& path : record.from) {
            FsPath resolved;
            if (ResolvePath(path.c_str(), &resolved))
                machine().files.erase(resolved.Full());
        }
    }
    return 0;
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR name)
{
    if (CallFails("CreateMutexA"))
        return nullptr;
    std::string text = name != nullptr ? name : "";
    bool exists = false;
    for (const std::string& existing : machine().mutexes)
        exists = exists || existing == text;
    if (!exists)
        machine().mutexes.push_back(text);
    SetLastError(exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return OpenHandle(kFileHandle, "mutex " + text, 0);
}

}  // extern "C"
