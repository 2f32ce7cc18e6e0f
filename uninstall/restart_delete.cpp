// Deleting a file at the next restart: the NT pending-rename list and Windows 9x WININIT.INI.
#include "restart_delete.h"

#include <windows.h>
#include <string.h>

#include "bounded_text.h"

namespace {

// The largest profile section Windows 95/98 reads or writes.
enum { kProfileSectionSize = 32767, kShortPathSize = MAX_PATH };

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

    // Lines "key=value", each NUL-terminated, the list ended by a second NUL; from the heap,
    // since it is too big for the stack of a program's thread on Windows 95/98.
    CHeapBuffer section(kProfileSectionSize);
    if (section.text == NULL) {
        return 0;
    }
    DWORD used =
        GetPrivateProfileSectionA("rename", section.text, kProfileSectionSize, "WININIT.INI");
    if (used >= kProfileSectionSize - 2) {
        return 0;  // cut short: writing it back would drop the lines that did not fit
    }
    // The line and its NUL, with one character kept free for the list's second NUL.
    char* line = section.text + used;
    if (!FormatText(line, kProfileSectionSize - used - 1, "NUL=%s", shortPath)) {
        return 0;
    }
    line[strlen(line) + 1] = '\0';
    return WritePrivateProfileSectionA("rename", section.text, "WININIT.INI") ? 1 : 0;
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
