// The confirmation dialog: start-up checks, the notice, the uninstall run and its outcome.
#include "uninstall_dlg.h"

#include <shellapi.h>
#include <string.h>

#include "restart_delete.h"
#include "support_contact.h"

namespace {

const char kStatusUnregisterWinDriver[] = "Unregistering WinDriver...";
const char kStatusUnregisterTalvenkp[] = "Unregistering talvenkp...";
const char kStatusDeleting[] = "Deleting files...";

const char kUnsupportedText[] =
    "This program will not run on your operating system.  Contact " TALVEN_SUPPORT_EMAIL
    " for help.";
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
    "TALVEN has been unregistered, but some of its system files are still in use and could not "
    "be deleted now.  They will be removed when the computer restarts.\n\n"
    "Please restart the computer to complete the uninstall.";
const char kNotDeletedFormat[] =
    "TALVEN could not delete the file %s, nor schedule it for deletion when the computer "
    "restarts.  Please delete it yourself, or contact your administrator or " TALVEN_SUPPORT_EMAIL
    " for help.";

// FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_NOCOPYSECURITYATTRIBS: no
// questions, no error boxes of the shell, and (without FOF_ALLOWUNDO) no recycle bin.
const FILEOP_FLAGS kDeleteFlags = 0x0E10;

int FileExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Turns a path into the one-name list the shell's file operations take. GetDriverLocations
// leaves room for the second NUL; the check keeps it inside the buffer whatever the path.
void AppendSecondNul(char* path, size_t capacity)
{
    size_t length = strnlen(path, capacity);
    if (length + 1 < capacity) {
        path[length + 1] = '\0';
    } else {
        path[capacity - 2] = '\0';  // never reached: the caller's paths are at most 1022 long
        path[capacity - 1] = '\0';
    }
}

// The run blocks the GUI thread, so nothing would repaint before it ends: paint the status
// window now, and let the window system show it (Wine's X11 driver, for one, sends its
// drawing out only when the thread looks at its message queue).
void SetStatus(CDialog& status, const char* text)
{
    status.SetDlgItemText(IDC_STATUS_TEXT, text);
    status.RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG message;
    PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE);
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
        ExitProcess(1);
    }

    // A Windows directory that does not fit (or cannot be read) leaves no driver paths, and
    // then the installed check below fails as it does for missing files.
    m_windowsDir[0] = '\0';
    UINT length = GetWindowsDirectoryA(m_windowsDir, sizeof m_windowsDir - 1);
    if (length == 0 || length >= sizeof m_windowsDir - 1) {
        m_windowsDir[0] = '\0';
    }
    DriverLocations locations;
    int located =
        m_windowsDir[0] != '\0' && GetDriverLocations(m_windowsKind, m_windowsDir, &locations);
    if (!located) {
        locations.driverDir[0] = locations.windrvrPath[0] = locations.talvenkpPath[0] = '\0';
        locations.preferVxd = m_windowsKind <= kWindows98 ? 1 : 0;
    }
    AfxCopyText(m_driverDir, sizeof m_driverDir, locations.driverDir);
    AfxCopyText(m_windrvrPath, sizeof m_windrvrPath, locations.windrvrPath);
    AfxCopyText(m_talvenkpPath, sizeof m_talvenkpPath, locations.talvenkpPath);
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

    AfxFormat(m_windowsDir, sizeof m_windowsDir, "%s Orbanet Universal Driver UnInstaller v1.0",
              kWindowsKindNames[m_windowsKind]);
    SetWindowText(m_windowsDir);
    m_noticeText.SetWindowText(kNoticeText);

    m_cancelButton.SetFocus();
    return FALSE;
}

void CUninstallDlg::OnOK()
{
    ShowWindow(SW_HIDE);

    CDialog status;
    status.Create(IDD_UNINSTALL_STATUS, this);
    status.ShowWindow(SW_SHOW);

    SetStatus(status, kStatusUnregisterWinDriver);
    RemoveDriver(TALVEN_WINDRVR_NAME, TALVEN_WINDRVR_FILE, m_windrvrPath);
    SetStatus(status, kStatusUnregisterTalvenkp);
    RemoveDriver(TALVEN_TALVENKP_NAME, TALVEN_TALVENKP_FILE, m_talvenkpPath);
    SetStatus(status, kStatusDeleting);

    AppendSecondNul(m_windrvrPath, sizeof m_windrvrPath);
    AppendSecondNul(m_talvenkpPath, sizeof m_talvenkpPath);
    SHFILEOPSTRUCTA operation;
    memset(&operation, 0, sizeof operation);
    operation.hwnd = m_hWnd;
    operation.wFunc = FO_DELETE;
    operation.pFrom = m_windrvrPath;
    operation.pTo = NULL;
    operation.fFlags = kDeleteFlags;
    operation.fAnyOperationsAborted = FALSE;
    SHFileOperationA(&operation);
    operation.pFrom = m_talvenkpPath;
    SHFileOperationA(&operation);

    status.ShowWindow(SW_HIDE);
    ReportOutcome();
    CDialog::OnOK();
}

void CUninstallDlg::RemoveDriver(const char* name, const char* fileName, const char* imagePath)
{
    CDriverRegistrar* registrar = CreateDriverRegistrar(m_preferVxd);
    if (registrar == NULL) {
        return;  // only when memory runs out: nothing to unregister with, go on to the next step
    }
    registrar->Configure(name, fileName, TALVEN_DRIVER_START_TYPE, imagePath, 0);
    registrar->Unload();
    Sleep(1000);
    registrar->Remove();
    delete registrar;
}

// A driver file can outlive its delete: in use (a driver that did not stop, a program holding
// it open), read-only, or access denied. The removal is then not complete, and a second
// uninstall would stop at the installed check with one file gone, so the file is left to the
// next restart, and the user is told to restart.
void CUninstallDlg::ReportOutcome()
{
    const char* const paths[2] = {m_windrvrPath, m_talvenkpPath};
    int remaining = 0;
    int scheduled = 0;
    for (int i = 0; i < 2; i++) {
        if (!FileExists(paths[i])) {
            continue;
        }
        remaining++;
        if (ScheduleDeleteAtRestart(paths[i], m_preferVxd)) {
            scheduled++;
            continue;
        }
        char text[kDriverPathSize + 512];
        AfxFormat(text, sizeof text, kNotDeletedFormat, paths[i]);
        MessageBox(text, "Error", MB_OK);
    }
    if (remaining == 0) {
        MessageBox(kRemovedText, "Notice", MB_OK);
    } else if (scheduled != 0) {
        MessageBox(kRestartText, "Notice", MB_OK);
    }
}

void CUninstallDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

HCURSOR CUninstallDlg::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(m_hIcon);
}
