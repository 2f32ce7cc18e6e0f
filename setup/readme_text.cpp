// ReadReadmeText through the system's file reads: the bytes as they are, up to the buffer.
#include "readme_text.h"

#include "file_reading.h"
#include "registry_key.h"

bool ReadReadmeText(const char* fileName, char* buffer, size_t capacity)
{
    if (capacity == 0)
        return false;
    FileHandle file(OpenFileForReading(fileName));
    if (!file.IsOpen())
        return false;
    // A read that fails part of the way keeps what came before it, as the end of the file would.
    size_t count = 0;
    DWORD got = 0;
    do {
        size_t room = capacity - 1 - count;
        DWORD wanted = room < 0x10000 ? static_cast<DWORD>(room) : 0x10000;
        if (wanted == 0 || !ReadFile(file.Get(), buffer + count, wanted, &got, NULL))
            break;
        count += got;
    } while (got != 0);
    buffer[count] = '\0';
    return true;
}
