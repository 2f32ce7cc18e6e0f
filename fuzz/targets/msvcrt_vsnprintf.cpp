// _vsnprintf as the Windows C runtime (msvcrt.dll) has it, for the framework's AfxFormat: at most
// `count` characters are written; the text is terminated only when it is shorter than `count`;
// the result is its length, or -1 when it is longer than `count`.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <vector>

int _vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(NULL, 0, format, copy);
    va_end(copy);
    std::vector<char> whole(length + 1);
    vsnprintf(whole.data(), whole.size(), format, args);
    if (static_cast<size_t>(length) > count) {
        memcpy(buffer, whole.data(), count);
        return -1;
    }
    memcpy(buffer, whole.data(), length);
    if (static_cast<size_t>(length) < count)
        buffer[length] = '\0';
    return length;
}
