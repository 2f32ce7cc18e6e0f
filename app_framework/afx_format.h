// AfxFormat and AfxCopyText, kept until installation_run.cpp and uninstall_dlg.cpp move over to
// the library's bounded text (bounded_text.h), which they forward to: both cut a text that does
// not fit.
#pragma once

#include <stddef.h>

#include "bounded_text.h"

// Formats ("%s" and "%%" only) into buffer[capacity]; the length written, or -1 when cut.
int AfxFormat(char* buffer, size_t capacity, const char* format, ...);

// Copies source into buffer[capacity], cut if needed; 1 when it fit whole, 0 when it was cut.
inline int AfxCopyText(char* buffer, size_t capacity, const char* source)
{
    return CopyTextCut(buffer, capacity, source);
}
