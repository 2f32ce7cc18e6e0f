// Bounded text: one formatting routine behind every form, so that all of them keep the same
// limits. It writes no further than the buffer's last character, and reads an argument no further
// than its terminator or one character past the room left.
#include "bounded_text.h"

#include <string.h>

namespace {

enum FormatResult { kCut = 0, kWhole = 1, kUnknownConversion = -1 };

// Writes as much of the formatted text as fits into buffer[capacity] (capacity > 0) and its NUL.
// The "%s" conversions take args in turn; past the fourth the format is refused.
FormatResult Format(char* buffer, size_t capacity, const char* format, const char* const* args)
{
    int next = 0;
    size_t used = 0;
    const size_t room = capacity - 1;
    FormatResult result = kWhole;
    for (const char* f = format; *f != '\0'; ++f) {
        const char* piece = f;
        size_t length = 1;
        if (*f == '%') {
            ++f;
            if (*f == 's' && next < kFormatArguments) {
                piece = args[next++];
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

int FormatText(char* buffer, size_t capacity, const char* format, const char* a, const char* b,
               const char* c, const char* d)
{
    const char* const args[kFormatArguments] = {a, b, c, d};
    if (capacity == 0)
        return 0;
    if (Format(buffer, capacity, format, args) == kWhole)
        return 1;
    buffer[0] = '\0';
    return 0;
}

int FormatTextCut(char* buffer, size_t capacity, const char* format, const char* a, const char* b,
                  const char* c, const char* d)
{
    const char* const args[kFormatArguments] = {a, b, c, d};
    return capacity != 0 && Format(buffer, capacity, format, args) == kWhole ? 1 : 0;
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
