// Byte comparison of two files: how the installation run checks a copied driver file.
#pragma once

// True when both files can be opened and read to their end and hold the same bytes.
// A missing or unreadable file, or any difference in content or length, gives false.
bool FilesHaveSameBytes(const char* firstPath, const char* secondPath);
