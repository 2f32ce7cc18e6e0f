// The shell's file operations as both programs use them: file lists that end in a second NUL (for
// the source and the destination alike), setup's copies and the uninstaller's deletes.
#pragma once

#include <windows.h>

#include <stddef.h>

// Formats the one-entry list "<a><b>", its NUL and a second NUL into list. 1 when it fit; 0 when
// it did not, and list is then the empty list (two NULs).
int FormatFileList(char* list, size_t capacity, const char* a, const char* b = "");

// Copies what the pattern from names into the directory to, overwriting without a question and
// creating missing directories, with the shell's simple progress window titled "Copying
// Files..." and no error boxes of its own. 1 when the shell reports success and nothing aborted.
int ShellCopyFiles(HWND owner, const char* from, const char* to);

// Deletes one file without a question, an error box or the recycle bin. 1 when the shell reports
// success and nothing aborted.
int ShellDeleteFile(HWND owner, const char* path);
