// Bounded copies and joins of NUL-terminated narrow text.
#include "bounded_text.h"

#include <string.h>

int CopyText(char* buffer, size_t capacity, const char* text)
{
    return JoinText(buffer, capacity, text);
}

int JoinText(char* buffer, size_t capacity, const char* a, const char* b, const char* c,
             const char* d)
{
    if (capacity == 0)
        return 0;
    const char* parts[4] = {a, b, c, d};
    size_t used = 0;
    for (const char* part : parts) {
        size_t length = part ? strlen(part) : 0;
        if (length >= capacity - used) {
            buffer[0] = '\0';
            return 0;
        }
        memmove(buffer + used, part, length);
        used += length;
    }
    buffer[used] = '\0';
    return 1;
}

int AppendTextCut(char* buffer, size_t capacity, const char* text)
{
    if (capacity == 0)
        return 0;
    size_t used = strnlen(buffer, capacity - 1);
    size_t room = capacity - 1 - used;
    size_t length = strlen(text);
    size_t taken = length < room ? length : room;
    memcpy(buffer + used, text, taken);
    buffer[used + taken] = '\0';
    return taken == length;
}
