// AfxFormat on the library's FormatTextCutV; kept until installation_run.cpp and uninstall_dlg.cpp
// move over.
#include "afx_format.h"

#include <string.h>

int AfxFormat(char* buffer, size_t capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int whole = FormatTextCutV(buffer, capacity, format, args);
    va_end(args);
    return whole ? static_cast<int>(strlen(buffer)) : -1;
}
