// The uninstaller's deletion at the next restart with any driver path, any short form of it and
// any [rename] section already in WININIT.INI: on Windows 95/98 the section written back holds the
// old lines unchanged and one "NUL=<short path>" line more, with its double NUL inside the
// 32,767-byte block, or nothing is written at all; on the NT family the path goes to MoveFileExA
// unchanged. The Win32 functions involved are simulated here, as Windows 95 answers them: a
// section that does not fit is cut and reported as size - 2.
#include "restart_delete.h"
#include "fuzz_input.h"

#include <windows.h>

#include <stdio.h>

#include <vector>

namespace {

std::string g_shortPath;          // what GetShortPathNameA answers; empty: it fails
std::vector<std::string> g_lines;  // the [rename] section of WININIT.INI
bool g_written = false;
std::vector<std::string> g_writtenLines;
std::string g_movedPath;
int g_heapBlocks = 0;

}  // namespace

extern "C" {

HANDLE GetProcessHeap(void)
{
    return reinterpret_cast<HANDLE>(1);
}

// Exactly the bytes asked for, so that AddressSanitizer sees any access behind them.
LPVOID HeapAlloc(HANDLE, DWORD flags, size_t bytes)
{
    void* block = malloc(bytes);
    if (block != NULL && (flags & HEAP_ZERO_MEMORY))
        memset(block, 0, bytes);
    else if (block != NULL)
        memset(block, 0xA5, bytes);
    ++g_heapBlocks;
    return block;
}

BOOL HeapFree(HANDLE, DWORD, LPVOID block)
{
    free(block);
    --g_heapBlocks;
    return TRUE;
}

DWORD GetShortPathNameA(LPCSTR, LPSTR shortPath, DWORD size)
{
    if (g_shortPath.empty())
        return 0;
    if (g_shortPath.size() + 1 > size)
        return static_cast<DWORD>(g_shortPath.size() + 1);
    memcpy(shortPath, g_shortPath.c_str(), g_shortPath.size() + 1);
    return static_cast<DWORD>(g_shortPath.size());
}

DWORD GetPrivateProfileSectionA(LPCSTR, LPSTR buffer, DWORD size, LPCSTR)
{
    if (size < 2)
        return 0;
    DWORD used = 0;
    for (const std::string& line : g_lines) {
        if (used + line.size() + 2 > size) {
            // Cut: as much as fits, then the two NULs, and size - 2 as the answer.
            size_t part = used < size - 2 ? size - 2 - used : 0;
            memcpy(buffer + used, line.data(), part < line.size() ? part : line.size());
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

BOOL WritePrivateProfileSectionA(LPCSTR, LPCSTR lines, LPCSTR)
{
    g_written = true;
    g_writtenLines.clear();
    for (const char* line = lines; *line != '\0'; line += strlen(line) + 1)
        g_writtenLines.push_back(line);
    return TRUE;
}

// The file to schedule is read-only: its attribute is cleared before the scheduling.
DWORD GetFileAttributesA(LPCSTR)
{
    return FILE_ATTRIBUTE_READONLY;
}

BOOL SetFileAttributesA(LPCSTR, DWORD attributes)
{
    FUZZ_CHECK((attributes & FILE_ATTRIBUTE_READONLY) == 0);
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existing, LPCSTR replacement, DWORD flags)
{
    FUZZ_CHECK(replacement == NULL && flags == MOVEFILE_DELAY_UNTIL_REBOOT);
    g_movedPath = existing;
    return TRUE;
}

}  // extern "C"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    uint8_t choice = input.Byte();
    uint16_t repeat = input.Byte() | (input.Byte() << 8);
    std::string path = input.Field();
    g_shortPath = input.Field();
    g_lines.clear();
    g_written = false;
    g_movedPath.clear();
    // The section's lines; a line repeated to fill WININIT.INI near and past its 32 KiB.
    while (!input.Empty()) {
        std::string line = input.Field();
        if (!line.empty())
            g_lines.push_back(line);
    }
    if ((choice & 2) && !g_lines.empty())
        for (uint16_t i = 0; i < repeat % 4096; ++i)
            g_lines.push_back(g_lines[i % g_lines.size()]);

    char* exact = ExactString(path);
    int result = ScheduleDeleteAtRestart(exact, choice & 1);
    free(exact);
    FUZZ_CHECK(g_heapBlocks == 0);

    if (!(choice & 1)) {
        FUZZ_CHECK(result == 1 && g_movedPath == path && !g_written);
        return 0;
    }
    FUZZ_CHECK(g_movedPath.empty());
    if (result == 1) {
        FUZZ_CHECK(g_written);
        std::vector<std::string> expected = g_lines;
        expected.push_back("NUL=" + g_shortPath);
        FUZZ_CHECK(g_writtenLines == expected);
    }
    return 0;
}
