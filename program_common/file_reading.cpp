// OpenFileForReading and CanOpenForReading on CreateFileA.
#include "file_reading.h"

#include "registry_key.h"

HANDLE OpenFileForReading(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

int CanOpenForReading(const char* path)
{
    FileHandle file(OpenFileForReading(path));
    return file.IsOpen() ? 1 : 0;
}
