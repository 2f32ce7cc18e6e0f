// Bounded copies and joins of NUL-terminated narrow text into fixed buffers. Every result is
// NUL-terminated; a result that does not fit is refused whole (the buffer is left empty), never cut,
// because a cut path or key name would name something else.
#pragma once

#include <stddef.h>

// Copies `text` into `buffer` of `capacity` characters. 1 when it fit, else 0 and `buffer` empty.
int CopyText(char* buffer, size_t capacity, const char* text);

// Joins up to four parts ("%s%s%s%s") into `buffer`. 1 when it fit, else 0 and `buffer` empty.
int JoinText(char* buffer, size_t capacity, const char* a, const char* b = "", const char* c = "",
             const char* d = "");

// Appends as much of `text` as fits behind the text already in `buffer`; the result stays
// NUL-terminated. 1 when all of it fit.
int AppendTextCut(char* buffer, size_t capacity, const char* text);
