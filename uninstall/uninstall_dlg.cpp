// The confirmation dialog: start-up checks, the notice, the uninstall run and its outcome.
#include "uninstall_dlg.h"

#include <string.h>

#include "bounded_text.h"
#include "driver_rights.h"
#include "driver_sequences.h"
#include "file_reading.h"
#include "restart_delete.h"
#include "shell_files.h"
#include "support_contact.h"

const char kUnsupportedText[] =
    "This program will not run on your operating system.  Contact " TALVEN_SUPPORT_EMAIL
    " for help.";

namespace {

const char kStatusUnregisterWinDriver[] = "Unregistering WinDriver...";
const char kStatusUnregisterTalvenkp[] = "Unregistering talvenkp...";
const char kStatusDeleting[] = "Deleting files...";

const char kNotInstalledText[] =
    "TALVEN is either not currently installed, or you do not have access to delete the system "
    "files.  Contact your administrator or " TALVEN_SUPPORT_EMAIL " for more help.";
const char kNoticeText[] =
    "Orbanet Corporation Universal Driver (TALVEN) UnInstall\n\nYou are about to unregister and "
    "delete the TALVEN system files.  This program will not delete the developer files that "
    "might have been installed on your system - those are to be deleted manually.  \n\n"
    "WARNING:  You will not be able to run any TALVEN-based application on this system after "
    "the uninstall.";
const char kRemovedText[] = "TALVEN Removed!";
const char kRestartText[] =
    "TALVEN has been unregistered, but some of its drivers or system files are still in use and "
    "could not be removed now.  They will be removed when the computer restarts.\n\n"
    "Please restart the computer to complete the uninstall.";
// After an error box that named a file left for the user to delete: the restart removes the rest.
const char kRestartAfterErrorText[] =
    "TALVEN has been unregistered, but some of its drivers or system files are still in use and "
    "could not be removed now.  They will be removed when the computer restarts, except any file "
    "that an error message named before, which you must delete yourself.\n\nPlease restart the "
    "computer.";
const char kStillRegisteredFormat[] =
    "TALVEN could not remove the registration of the driver %s.  The TALVEN system files have "
    "been left in place, so that the uninstaller can run again: please restart the computer and "
    "run the uninstaller again, or contact your administrator or " TALVEN_SUPPORT_EMAIL
    " for help.";
// A registration this user may not remove: running again after a restart would meet the same
// refusal.
const char kNotAllowedToRemoveFormat[] =
    "TALVEN could not remove the registration of the driver %s: this user account is not allowed "
    "to remove it.  The TALVEN system files have been left in place, so that the uninstaller can "
    "run again: please run the uninstaller again with an account that may remove the driver, or "
    "contact your administrator or " TALVEN_SUPPORT_EMAIL " for help.";
const char kNotDeletedFormat[] =
    "TALVEN could not delete the file %s, nor schedule it for deletion when the computer "
    "restarts.  Please delete it yourself, or contact your administrator or " TALVEN_SUPPORT_EMAIL
    " for help.";

int FileExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

BEGIN_MESSAGE_MAP(CUninstallDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CUninstallDlg::CUninstallDlg(CWnd* pParent) : CDialog(IDD, pParent)
{
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

void CUninstallDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_uninstallButton);
    DDX_Control(pDX, IDCANCEL, m_cancelButton);
    DDX_Control(pDX, IDC_NOTICE_TEXT, m_noticeText);
}

BOOL CUninstallDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_windowsKind = GetWindowsKind();
    if (m_windowsKind == kWindowsNone) {
        MessageBox(kUnsupportedText, "Error", MB_OK);
        ExitProcess(kUnsupportedExitCode);
    }
    if (DriverRightsDenied(m_windowsKind)) {
        MessageBox(kNoDriverRightsText, "Error", MB_OK);
        ExitProcess(kNoDriverRightsExitCode);
    }

    // A Windows directory that does not fit (or cannot be read) leaves no driver paths, and
    // then the installed check below fails as it does for missing files.
    m_windowsDir[0] = '\0';
    UINT length = GetWindowsDirectoryA(m_windowsDir, kWindowsDirQuerySize);
    if (length == 0 || length >= kWindowsDirQuerySize) {
        m_windowsDir[0] = '\0';
    }
    DriverLocations locations;
    int located =
        m_windowsDir[0] != '\0' && GetDriverLocations(m_windowsKind, m_windowsDir, &locations);
    if (!located) {
        locations.driverDir[0] = locations.windrvrPath[0] = locations.talvenkpPath[0] = '\0';
        locations.preferVxd = IsNtSide(m_windowsKind) ? 0 : 1;
    }
    // Buffers of the same size: these copies always fit.
    CopyText(m_driverDir, sizeof m_driverDir, locations.driverDir);
    CopyText(m_windrvrPath, sizeof m_windrvrPath, locations.windrvrPath);
    CopyText(m_talvenkpPath, sizeof m_talvenkpPath, locations.talvenkpPath);
    m_preferVxd = locations.preferVxd;

    int missing = 0;
    if (!located || !CanOpenForReading(m_windrvrPath)) {
        missing++;
    }
    if (!located || !CanOpenForReading(m_talvenkpPath)) {
        missing++;
    }
    if (missing != 0) {
        MessageBox(kNotInstalledText, "Error", MB_OK);
        ExitProcess(2);
    }

    if (FormatText(m_windowsDir, sizeof m_windowsDir,
                   "%s Orbanet Universal Driver UnInstaller v1.0",
                   kWindowsKindNames[m_windowsKind])) {
        SetWindowText(m_windowsDir);
    }
    m_noticeText.SetWindowText(kNoticeText);

    m_cancelButton.SetFocus();
    return FALSE;
}

void CUninstallDlg::OnOK()
{
    ShowWindow(SW_HIDE);

    CStatusWindow status(IDD_UNINSTALL_STATUS, IDC_STATUS_TEXT);
    status.Show(this);

    status.SetText(kStatusUnregisterWinDriver);
    const int windrvrLeftovers =
        RemoveOneDriver(TALVEN_WINDRVR_NAME, TALVEN_WINDRVR_FILE, m_windrvrPath);
    status.SetText(kStatusUnregisterTalvenkp);
    const int talvenkpLeftovers =
        RemoveOneDriver(TALVEN_TALVENKP_NAME, TALVEN_TALVENKP_FILE, m_talvenkpPath);
    // A registration that is left names its driver file: deleted, the driver would be started
    // from a missing file at every restart, and the next run would stop at the installed check,
    // which needs both files. Both stay then, so that running the uninstaller again works.
    const int keepFiles = ((windrvrLeftovers | talvenkpLeftovers) & kDriverStillRegistered) != 0;
    if (!keepFiles) {
        status.SetText(kStatusDeleting);
        ShellDeleteFile(m_hWnd, m_windrvrPath);
        ShellDeleteFile(m_hWnd, m_talvenkpPath);
    }

    status.Hide();
    ReportOutcome(windrvrLeftovers, talvenkpLeftovers);
    CDialog::OnOK();
}

int CUninstallDlg::RemoveOneDriver(const char* name, const char* fileName, const char* imagePath)
{
    CRegistrarOwner registrar(m_preferVxd, name, fileName, imagePath);
    return RemoveDriver(registrar.Get(), m_preferVxd, name, AfxPause);
}

// The uninstall is complete only when both drivers are stopped and unregistered and both files
// are gone. What a restart completes (a driver that did not stop, a registration marked for
// deletion, a file in use, which is then scheduled for deletion) ends in the restart notice; what
// nobody can complete gets an error box that names it, and the notice after such a box excepts
// what it named. A registration that could not be removed ends the run with its error box alone:
// its advice (restart and run the uninstaller again; run it with an account that may, when this
// one was refused) covers whatever else the restart completes, and the restart notice would claim
// an unregistered TALVEN.
void CUninstallDlg::ReportOutcome(int windrvrLeftovers, int talvenkpLeftovers)
{
    const char* const names[2] = {TALVEN_WINDRVR_NAME, TALVEN_TALVENKP_NAME};
    const int leftovers[2] = {windrvrLeftovers, talvenkpLeftovers};
    const char* const paths[2] = {m_windrvrPath, m_talvenkpPath};
    int pending = 0;
    int failed = 0;
    char text[kDriverPathSize + 512];
    for (int i = 0; i < 2; i++) {
        if (leftovers[i] & kDriverStillRegistered) {
            failed++;
            FormatTextCut(text, sizeof text,
                          (leftovers[i] & kDriverAccessDenied) ? kNotAllowedToRemoveFormat
                                                               : kStillRegisteredFormat,
                          names[i]);
            MessageBox(text, "Error", MB_OK);
        } else if (leftovers[i] != kDriverGone) {
            pending++;
        }
    }
    if (failed != 0)
        return;  // the driver files were kept
    for (int i = 0; i < 2; i++) {
        if (!FileExists(paths[i])) {
            continue;
        }
        if (ScheduleDeleteAtRestart(paths[i], m_preferVxd)) {
            pending++;
            continue;
        }
        failed++;
        // The longest path (kDriverPathSize - 2 characters) and the text fit: never cut.
        FormatTextCut(text, sizeof text, kNotDeletedFormat, paths[i]);
        MessageBox(text, "Error", MB_OK);
    }
    if (failed == 0 && pending == 0) {
        MessageBox(kRemovedText, "Notice", MB_OK);
    } else if (pending != 0) {
        MessageBox(failed != 0 ? kRestartAfterErrorText : kRestartText, "Notice", MB_OK);
    }
}

void CUninstallDlg::OnPaint()
{
    if (!PaintMinimisedIcon(m_hIcon)) {
        Default();
    }
}

HCURSOR CUninstallDlg::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(m_hIcon);
}
