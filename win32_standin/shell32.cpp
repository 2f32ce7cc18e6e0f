// The shell side of the stand-in: SHFileOperationA reads its lists as the shell does and records
// them; a delete removes the files it names.
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
