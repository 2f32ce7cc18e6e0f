// The few memory and string routines of the C library that the programs and the library call, and
// that the compiler emits calls to for structure copies and clears. The programs link no C runtime
// DLL: the first Windows 95 releases ship none.
//
// Compiled with -fno-builtin and -fno-tree-loop-distribute-patterns, so that the compiler does not
// turn these loops back into calls of themselves.
#include <stddef.h>

extern "C" {

void* memcpy(void* destination, const void* source, size_t count)
{
    unsigned char* d = static_cast<unsigned char*>(destination);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    while (count-- > 0)
        *d++ = *s++;
    return destination;
}

void* memmove(void* destination, const void* source, size_t count)
{
    unsigned char* d = static_cast<unsigned char*>(destination);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    if (d <= s || d >= s + count) {
        while (count-- > 0)
            *d++ = *s++;
    } else {
        while (count-- > 0)
            d[count] = s[count];
    }
    return destination;
}

void* memset(void* destination, int value, size_t count)
{
    unsigned char* d = static_cast<unsigned char*>(destination);
    while (count-- > 0)
        *d++ = static_cast<unsigned char>(value);
    return destination;
}

int memcmp(const void* first, const void* second, size_t count)
{
    const unsigned char* a = static_cast<const unsigned char*>(first);
    const unsigned char* b = static_cast<const unsigned char*>(second);
    for (; count > 0; --count, ++a, ++b) {
        if (*a != *b)
            return *a < *b ? -1 : 1;
    }
    return 0;
}

size_t strlen(const char* text)
{
    const char* end = text;
    while (*end != '\0')
        ++end;
    return static_cast<size_t>(end - text);
}

size_t strnlen(const char* text, size_t limit)
{
    size_t length = 0;
    while (length < limit && text[length] != '\0')
        ++length;
    return length;
}

char* strchr(const char* text, int character)
{
    const char c = static_cast<char>(character);
    for (;; ++text) {
        if (*text == c)
            return const_cast<char*>(text);
        if (*text == '\0')
            return NULL;
    }
}

void* memchr(const void* block, int value, size_t count)
{
    const unsigned char* p = static_cast<const unsigned char*>(block);
    for (; count != 0; --count, ++p) {
        if (*p == static_cast<unsigned char>(value))
            return const_cast<unsigned char*>(p);
    }
    return NULL;
}

char* strrchr(const char* text, int character)
{
    const char c = static_cast<char>(character);
    const char* found = NULL;
    for (;; ++text) {
        if (*text == c)
            found = text;
        if (*text == '\0')
            return const_cast<char*>(found);
    }
}

}  // extern "C"
