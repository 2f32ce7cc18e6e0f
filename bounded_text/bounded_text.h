// Bounded text in fixed char buffers: copies, joins, appends and "%s" formatting. Every result is
// NUL-terminated and stays inside its buffer. The name says what happens to a result that does not
// fit: the plain forms refuse it whole (the buffer is left empty), because a cut path or key name
// would name something else; the "Cut" forms keep as much as fits. Both answer 1 when the whole
// result fit, else 0.
#pragma once

#include <stddef.h>

int CopyText(char* buffer, size_t capacity, const char* text);
int CopyTextCut(char* buffer, size_t capacity, const char* text);

// Joins up to four parts, as "%s%s%s%s" formats them (a NULL part reads as empty).
int JoinText(char* buffer, size_t capacity, const char* a, const char* b = "", const char* c = "",
             const char* d = "");

// Appends as much of `text` as fits behind the text already in `buffer`.
int AppendTextCut(char* buffer, size_t capacity, const char* text);

// Formats text whose only conversions are "%s", taking a, b, c and d in turn (a NULL argument
// reads as empty), and "%%". A format holding any other conversion, or a fifth "%s", is refused by
// both forms, the buffer left empty.
enum { kFormatArguments = 4 };
int FormatText(char* buffer, size_t capacity, const char* format, const char* a,
               const char* b = NULL, const char* c = NULL, const char* d = NULL);
int FormatTextCut(char* buffer, size_t capacity, const char* format, const char* a,
                  const char* b = NULL, const char* c = NULL, const char* d = NULL);
