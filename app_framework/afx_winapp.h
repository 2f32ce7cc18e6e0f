// CWinApp: the one application object, its start-up through WinMain, and process-wide helpers.
#pragma once

#include <windows.h>
#include "afx_dialog.h"
#include "afx_wnd.h"

// Command id of the framework's Help command.
#define ID_HELP 0xE146

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    // Called once by WinMain. FALSE ends the program at once; its exit code is then the value
    // of a quit message left posted (PostQuitMessage), or 0 when there is none.
    virtual BOOL InitInstance();
    // The message loop, run when InitInstance returns TRUE; returns the quit value.
    virtual int Run();

    // The 3-D look of controls is the system's own on Windows 95 and NT 4.0 (version 4.0
    // programs); nothing to switch on. Always TRUE.
    BOOL Enable3dControls() { return TRUE; }
    HICON LoadIcon(UINT nIDResource) const;
    void OnHelp();

    // For InitInstance: runs dialog modally as the application's main window.
    INT_PTR RunMainDialog(CDialog& dialog);
    // For InitInstance, before any window: an "Error" box with text, then FALSE with exitCode
    // posted as the quit value, so that the program ends with it.
    BOOL RefuseToStart(LPCSTR text, int exitCode);

    CWnd* m_pMainWnd;
    HINSTANCE m_hInstance;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// Loads the rich edit library (class "RICHEDIT") with AfxLoadSystemLibrary.
BOOL AfxInitRichEdit();

// Loads fileName from the system directory by its full path, with the library's own imports
// resolved from there too: never through the search path, which starts at the program's folder.
HMODULE AfxLoadSystemLibrary(LPCSTR fileName);
