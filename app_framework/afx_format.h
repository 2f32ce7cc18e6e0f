// Bounded text formatting into fixed char buffers: always NUL-terminated, never past the buffer.
#pragma once

#include <stddef.h>

// Formats like sprintf into buffer[capacity]. The result is always terminated; returns the
// length written, or -1 when the text did not fit (the buffer then holds the cut text).
int AfxFormat(char* buffer, size_t capacity, const char* format, ...);

// Copies source into buffer[capacity], cut if needed; 1 when it fit whole, 0 when it was cut.
int AfxCopyText(char* buffer, size_t capacity, const char* source);
