// The shell's file operation of the Win32 stand-in (shellapi.h).
#pragma once

#include <windows.h>

typedef WORD FILEOP_FLAGS;

#define FO_COPY 0x0002
#define FO_DELETE 0x0003

#define FOF_NOCONFIRMATION 0x0010
#define FOF_SIMPLEPROGRESS 0x0100
#define FOF_NOCONFIRMMKDIR 0x0200
#define FOF_NOERRORUI 0x0400
#define FOF_NOCOPYSECURITYATTRIBS 0x0800

typedef struct _SHFILEOPSTRUCTA {
    HWND hwnd;
    UINT wFunc;
    LPCSTR pFrom;
    LPCSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCSTR lpszProgressTitle;
} SHFILEOPSTRUCTA, *LPSHFILEOPSTRUCTA;

#ifdef __cplusplus
extern "C" {
#endif

int SHFileOperationA(LPSHFILEOPSTRUCTA operation);

#ifdef __cplusplus
}
#endif
