// FilesHaveSameBytes through the system's file reads; each file is closed on every path.
#include "file_compare.h"

#include <string.h>

#include "file_reading.h"
#include "registry_key.h"

namespace {

// Reads until `block` is full or the file ends; false when a read fails.
bool ReadBlock(HANDLE file, char* block, DWORD size, DWORD* got)
{
    *got = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block + *got, size - *got, &read, NULL))
            return false;
        *got += read;
        if (read == 0 || *got == size)
            return true;
    }
}

}  // namespace

bool FilesHaveSameBytes(const char* firstPath, const char* secondPath)
{
    FileHandle first(OpenFileForReading(firstPath));
    FileHandle second(OpenFileForReading(secondPath));
    if (!first.IsOpen() || !second.IsOpen())
        return false;
    char a[512];
    char b[512];
    for (;;) {
        DWORD readA = 0;
        DWORD readB = 0;
        if (!ReadBlock(first.Get(), a, sizeof a, &readA) ||
            !ReadBlock(second.Get(), b, sizeof b, &readB))
            return false;
        if (readA != readB || memcmp(a, b, readA) != 0)
            return false;
        if (readA < sizeof a)
            return true;  // both ended
    }
}
