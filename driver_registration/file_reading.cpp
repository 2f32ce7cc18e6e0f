// Opening files for reading through the system, without the C runtime.
#include "driver_registrar.h"

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
