// The uninstall program's application object and its start-up.
#include "uninstall_app.h"

#include "installer_lock.h"
#include "uninstall_dlg.h"

BEGIN_MESSAGE_MAP(CUninstallApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

// The one application object.
CUninstallApp theApp;

BOOL CUninstallApp::InitInstance()
{
    const int lock = TakeInstallerLock();
    if (lock != kInstallerLockTaken) {
        // Without the version nothing is known to be running: refused as an unsupported Windows.
        if (lock == kInstallerLockNoVersion)
            return RefuseToStart(kUnsupportedText, kUnsupportedExitCode);
        return RefuseToStart(kInstallerBusyText, kInstallerBusyExitCode);
    }

    Enable3dControls();
    CUninstallDlg dlg;
    RunMainDialog(dlg);  // IDOK after a run, IDCANCEL after Cancel: the program ends either way
    return FALSE;
}
