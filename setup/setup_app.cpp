// The setup program's start: the application object and InitInstance.
#include "setup_app.h"

#include "bounded_text.h"
#include "installer_lock.h"
#include "setup_dlg.h"
#include "setup_globals.h"

BEGIN_MESSAGE_MAP(CSetupApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CSetupApp theApp;

BOOL CSetupApp::InitInstance()
{
    const int lock = TakeInstallerLock();
    if (lock != kInstallerLockTaken) {
        // Without the version nothing is known to be running: refused as an unsupported Windows.
        if (lock == kInstallerLockNoVersion)
            return RefuseToStart(kUnsupportedWindowsText, kUnsupportedExitCode);
        return RefuseToStart(kInstallerBusyText, kInstallerBusyExitCode);
    }

    Enable3dControls();
    AfxInitRichEdit();

    // Read into a larger buffer first: a cut path is not reported the same way everywhere
    // (Windows 95 and 2000 return 255 characters and a NUL, NT 4.0 and XP the full size with no
    // NUL), but a path of 256 characters or more always comes back longer than 255 here.
    char path[kSetupPathSize];
    DWORD length = ::GetModuleFileNameA(m_hInstance, path, sizeof path);
    if (length == 0 || length >= kModuleDirSize ||
        !CopyText(g_moduleDir, sizeof g_moduleDir, path)) {
        // Running from a cut path would copy and register from the wrong directory.
        return RefuseToStart(kFolderTooDeepText, kFolderTooDeepExitCode);
    }

    CSetupDlg dlg;
    RunMainDialog(dlg);
    return FALSE;
}
