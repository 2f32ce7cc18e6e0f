// Bounded text: one formatting routine behind every form, so that all of them keep the same
// limits. It writes no further than the buffer's last character, and reads an argument no further
// than its terminator or one character past the room left.
#include "bounded_text.h"

#include <string.h>

namespace {

enum FormatResult { kCut = 0, kWhole = 1, kUnknownConversion = -1 };

// Writes as much of the formatted text as fits into buffer[capacity] (capacity > 0) and its NUL.
FormatResult Format(char* buffer, size_t capacity, const char* format, va_list args)
{
    size_t used = 0;
    const size_t room = capacity - 1;
    FormatResult result = kWhole;
    for (const char* f = format; *f != '\0'; ++f) {
        const char* piece = f;
        size_t length = 1;
        if (*f == '%') {
            ++f;
            if (*f == 's') {
                piece = va_arg(args, const char*);
                if (piece == NULL)
                    piece = "";
                length = strnlen(piece, room - used + 1);
            } else if (*f != '%') {
                buffer[0] = '\0';
                return kUnknownConversion;
            }
        }
        if (length > room - used) {
            length = room - used;
            result = kCut;
        }
        memmove(buffer + used, piece, length);
        used += length;
    }
    buffer[used] = '\0';
    return result;
}

}  // namespace

int FormatTextV(char* buffer, size_t capacity, const char* format, va_list args)
{
    if (capacity == 0)
        return 0;
    if (Format(buffer, capacity, format, args) != kWhole) {
        buffer[0] = '\0';
        return 0;
    }
    return 1;
}

int FormatTextCutV(char* buffer, size_t capacity, const char* format, va_list args)
{
    if (capacity == 0)
        return 0;
    return Format(buffer, capacity, format, args) == kWhole ? 1 : 0;
}

int FormatText(char* buffer, size_t capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatTextV(buffer, capacity, format, args);
    va_end(args);
    return result;
}

int FormatTextCut(char* buffer, size_t capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatTextCutV(buffer, capacity, format, args);
    va_end(args);
    return result;
}

int CopyText(char* buffer, size_t capacity, const char* text)
{
    return FormatText(buffer, capacity, "%s", text);
}

int CopyTextCut(char* buffer, size_t capacity, const char* text)
{
    return FormatTextCut(buffer, capacity, "%s", text);
}

int JoinText(char* buffer, size_t capacity, const char* a, const char* b, const char* c,
             const char* d)
{
    return FormatText(buffer, capacity, "%s%s%s%s", a, b, c, d);
}

int AppendTextCut(char* buffer, size_t capacity, const char* text)
{
    if (capacity == 0)
        return 0;
    size_t used = strnlen(buffer, capacity - 1);
    return FormatTextCut(buffer + used, capacity - used, "%s", text);
}
