// Reading the read-me file of the wizard's first page into a fixed buffer.
#pragma once

#include <stddef.h>

// Reads the bytes of fileName (opened for reading, looked up as given) into buffer, at most
// capacity - 1 of them, and terminates them with a NUL. Bytes are not translated. Returns
// false, with buffer untouched, when the file cannot be opened; a longer file is cut at the
// capacity (the first capacity - 1 bytes are kept).
bool ReadReadmeText(const char* fileName, char* buffer, size_t capacity);
