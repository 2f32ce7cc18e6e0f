// The setup program's start: the application object and InitInstance.
#include "setup_app.h"

#include "setup_dlg.h"
#include "setup_globals.h"

BEGIN_MESSAGE_MAP(CSetupApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CSetupApp theApp;

CSetupApp::CSetupApp()
{
}

BOOL CSetupApp::InitInstance()
{
    Enable3dControls();
    AfxInitRichEdit();

    // GetModuleFileNameA fills the buffer and returns its size when the path does not fit
    // (unterminated on Windows NT 4.0 and XP), so a full buffer means a cut path.
    DWORD length = ::GetModuleFileNameA(m_hInstance, g_moduleDir, sizeof g_moduleDir);
    g_moduleDir[sizeof g_moduleDir - 1] = '\0';
    if (length == 0 || length >= sizeof g_moduleDir) {
        // Running from a cut path would copy and register from the wrong directory.
        ::MessageBoxA(NULL,
                      "The TALVEN installer cannot run from a path of 256 characters or more.  "
                      "Please copy the installation files to a folder with a shorter path and "
                      "run setup again.",
                      "Error", MB_OK);
        ::PostQuitMessage(1);
        return FALSE;
    }

    CSetupDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = NULL;
    return FALSE;
}
