// Bounded formatting on the C runtime's _vsnprintf, which leaves a cut text unterminated.
#include "afx_format.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

int AfxFormat(char* buffer, size_t capacity, const char* format, ...)
{
    if (capacity == 0)
        return -1;
    va_list args;
    va_start(args, format);
    int written = _vsnprintf(buffer, capacity - 1, format, args);
    va_end(args);
    // _vsnprintf returns -1 when the text is longer than the count it was given.
    if (written < 0 || static_cast<size_t>(written) > capacity - 1) {
        buffer[capacity - 1] = '\0';
        return -1;
    }
    buffer[written] = '\0';
    return written;
}

int AfxCopyText(char* buffer, size_t capacity, const char* source)
{
    if (capacity == 0)
        return 0;
    size_t length = strlen(source);
    int whole = 1;
    if (length >= capacity) {
        length = capacity - 1;
        whole = 0;
    }
    memcpy(buffer, source, length);
    buffer[length] = '\0';
    return whole;
}
