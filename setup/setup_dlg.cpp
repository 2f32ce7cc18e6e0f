// The setup wizard: its message map, start-up, window-level handlers, the read-me and
// directory pages, and the folder picker. The installation run is in installation_run.cpp.
#include "setup_dlg.h"

#include <shlobj.h>
#include <string.h>

#include "bounded_text.h"
#include "driver_registrar.h"
#include "driver_rights.h"
#include "install_paths.h"
#include "readme_text.h"
#include "setup_app.h"
#include "setup_globals.h"

BEGIN_MESSAGE_MAP(CSetupDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_QUIT, &CSetupDlg::OnQuit)
    ON_BN_CLICKED(IDC_NEXT, &CSetupDlg::OnNext)
    ON_BN_CLICKED(IDC_README_CHECK, &CSetupDlg::OnReadmeCheck)
    ON_BN_CLICKED(IDC_BROWSE, &CSetupDlg::OnBrowse)
    ON_BN_CLICKED(IDC_DEVELOPER_FILES_CHECK, &CSetupDlg::OnDeveloperFilesCheck)
END_MESSAGE_MAP()

const char kUnsupportedWindowsText[] =
    "This TALVEN installer does not support the version of Windows you are running.";
const char kFolderTooDeepText[] =
    "The TALVEN installer cannot run from a folder this deep.  Please copy the installation "
    "files to a folder with a shorter path.";

namespace {

const char kDefaultInstallDir[] = "C:\\Program Files\\Orbanet\\TALVEN 5.7";
const char kDirPrompt[] =
    "Please choose the install directory.  This is where we will put the DLL, LIB and header "
    "files, as well as any documentation and utilities.  After the install, you may move these "
    "files anywhere you wish.";
const char kDriverNoteFormat[] =
    "The installer will automatically register and copy the WINDRVR and TALVENKP system files "
    "to the %s directory.  Please use the uninstall utility to remove/unregister them.";

// The read-me page holds at most this many bytes of setup.txt, and its terminator.
enum { kReadmeSize = 100000 };

// The exit status after a damaged package was refused.
enum { kPackageDamagedExitCode = 5 };

const char kPackageDamagedFormat[] =
    "The TALVEN package is damaged: %s %s.  Please get a new copy of the package.";
// What is wrong with the named file, by PackageProblem.
const char* const kPackageProblems[] = {
    "",
    "holds no list of the package's files",
    "is missing",
    "has been changed",
    "cannot be read",
    "does not belong to it",
};
static_assert(sizeof kPackageProblems / sizeof kPackageProblems[0] == kPackageTooDeep,
              "a text for each problem that is named by the damaged-package message");

}  // namespace

CSetupDlg::CSetupDlg(CWnd* pParent) : CDialog(IDD_SETUP_DIALOG, pParent)
{
    m_hIcon = theApp.LoadIcon(IDR_MAINFRAME);
}

void CSetupDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DEVELOPER_FILES_CHECK, m_developerFilesCheck);
    DDX_Control(pDX, IDC_DRIVER_NOTE, m_driverNote);
    DDX_Control(pDX, IDC_BROWSE, m_browseButton);
    DDX_Control(pDX, IDC_DIR_PROMPT, m_dirPrompt);
    DDX_Control(pDX, IDC_INSTALL_DIR, m_installDirEdit);
    DDX_Control(pDX, IDC_README_CHECK, m_readmeCheck);
    DDX_Control(pDX, IDC_QUIT, m_quitButton);
    DDX_Control(pDX, IDC_NEXT, m_nextButton);
    DDX_Control(pDX, IDC_README_TEXT, m_readmeText);
}

BOOL CSetupDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu) {
        CString aboutMenu;
        aboutMenu.LoadString(IDS_ABOUTBOX);
        if (!aboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutMenu);
        }
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    StripToDirectory(g_moduleDir);

    m_readmeText.SetWindowText("");
    m_dirPrompt.ShowWindow(SW_HIDE);

    m_windowsKind = GetWindowsKind();
    if (m_windowsKind == kWindowsNone) {
        RefuseToRun(kUnsupportedWindowsText, kUnsupportedExitCode);
        return FALSE;
    }
    if (DriverRightsDenied(m_windowsKind)) {
        RefuseToRun(kNoDriverRightsText, kNoDriverRightsExitCode);
        return FALSE;
    }

    // A Windows directory that the query cannot deliver, or one too long for the driver
    // paths, leaves nowhere to put the drivers: refuse like an unsupported system.
    const UINT windowsDirRoom = sizeof m_windowsDir - 1;
    UINT windowsDirLength = ::GetWindowsDirectoryA(m_windowsDir, windowsDirRoom);
    DriverLocations locations;
    if (windowsDirLength == 0 || windowsDirLength >= windowsDirRoom ||
        !GetDriverLocations(m_windowsKind, m_windowsDir, &locations) ||
        !CopyText(g_driverDir, sizeof g_driverDir, locations.driverDir) ||
        !JoinText(g_systemFilePattern, sizeof g_systemFilePattern, g_moduleDir,
                  DriverSourcePattern(m_windowsKind))) {
        RefuseToRun("This TALVEN installer cannot find the Windows directory of this computer.",
                    kUnsupportedExitCode);
        return FALSE;
    }

    if (!PackageIsWhole())
        return FALSE;

    // The longest kind name fits; a title that did not would be left empty, never cut.
    char title[256];
    if (FormatText(title, sizeof title, "%s Orbanet Universal Driver Installer v1.0",
                   kWindowsKindNames[m_windowsKind]))
        SetWindowText(title);

    if (g_moduleDir[0] == 'C' || g_moduleDir[0] == 'c') {
        m_developerFilesCheck.SendMessage(BM_SETCHECK, BST_CHECKED);
        OnDeveloperFilesCheck();
    }

    m_step = 0;
    OnNext();

    m_quitButton.SetFocus();
    return FALSE;
}

// Ending the dialog alone would end the program with status 0, as after a run: the quit message
// left behind gives it the refusal's status.
void CSetupDlg::RefuseToRun(const char* text, int exitCode)
{
    ShowWindow(SW_HIDE);
    MessageBox(text, "Error", 0);
    EndDialog(exitCode);
    ::PostQuitMessage(exitCode);
}

// The package folder against the record in setup.exe, before anything is touched; a damaged
// package is refused. The status window is up meanwhile: a large package on a slow machine takes
// seconds.
BOOL CSetupDlg::PackageIsWhole()
{
    char problemPath[256];
    int problem = kPackageNoRecord;
    if (FindPackageRecord(AfxGetInstanceHandle(), &m_record)) {
        CStatusWindow status(IDD_STATUS, IDC_STATUS_TEXT);
        status.Show(this);
        status.SetText("Checking the package...");
        problem = CheckPackageFolder(m_record, g_moduleDir, problemPath, sizeof problemPath,
                                     AfxKeepAnswering);
    }
    if (problem == kPackageWhole)
        return TRUE;
    if (problem == kPackageTooDeep) {
        RefuseToRun(kFolderTooDeepText, kFolderTooDeepExitCode);
        return FALSE;
    }
    char text[sizeof kPackageDamagedFormat + sizeof problemPath + 64];
    FormatTextCut(text, sizeof text, kPackageDamagedFormat,
                  problem == kPackageNoRecord ? "setup.exe" : problemPath,
                  kPackageProblems[problem]);
    RefuseToRun(text, kPackageDamagedExitCode);
    return FALSE;
}

void CSetupDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        Default();
    }
}

void CSetupDlg::OnPaint()
{
    if (!PaintMinimisedIcon(m_hIcon))
        Default();
}

HCURSOR CSetupDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CSetupDlg::OnNext()
{
    if (m_step == 0) {
        m_readmeText.SetWindowText("");
        m_readmeCheck.ShowWindow(SW_SHOW);
        m_nextButton.EnableWindow(FALSE);
        // The read-me may be longer than the control's default limit of 32,767 characters.
        m_readmeText.LimitText(kReadmeSize);
        char readme[kReadmeSize];
        if (ReadReadmeText("setup.txt", readme, sizeof readme))
            AppendText(readme);
    } else if (m_step == 1) {
        m_readmeText.ShowWindow(SW_HIDE);
        m_readmeCheck.ShowWindow(SW_HIDE);
        m_nextButton.SetWindowText("Install");
        m_installDirEdit.SetWindowText(kDefaultInstallDir);
        m_installDirEdit.ShowWindow(SW_SHOW);
        m_browseButton.ShowWindow(SW_SHOW);
        m_driverNote.ShowWindow(SW_SHOW);
        m_developerFilesCheck.ShowWindow(SW_SHOW);
        // Sized for the longest driver directory, so the note is always whole.
        char note[sizeof kDriverNoteFormat + kSetupPathSize];
        if (FormatText(note, sizeof note, kDriverNoteFormat, g_driverDir))
            m_driverNote.SetWindowText(note);
        m_dirPrompt.SetWindowText(kDirPrompt);
        m_dirPrompt.ShowWindow(SW_SHOW);
    } else {
        RunInstallation();
        return;
    }
    ++m_step;
}

void CSetupDlg::AppendText(const char* text)
{
    m_readmeText.SetSel(10000000, 10000000);
    m_readmeText.SendMessage(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
    m_readmeText.RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CSetupDlg::OnReadmeCheck()
{
    m_nextButton.EnableWindow(m_readmeCheck.SendMessage(BM_GETCHECK) != 0);
}

void CSetupDlg::OnDeveloperFilesCheck()
{
    if (m_developerFilesCheck.SendMessage(BM_GETCHECK) != 0) {
        m_installDirEdit.EnableWindow(FALSE);
        m_browseButton.EnableWindow(FALSE);
    } else {
        m_installDirEdit.EnableWindow(TRUE);
        m_browseButton.EnableWindow(TRUE);
    }
}

void CSetupDlg::OnBrowse()
{
    CString path = BrowseForFolder();
    if (!path.IsEmpty())
        m_installDirEdit.SetWindowText(path);
}

CString CSetupDlg::BrowseForFolder()
{
    CString title("Select a Folder");
    char displayName[MAX_PATH];
    char path[MAX_PATH];
    memset(displayName, 0, sizeof displayName);
    memset(path, 0, sizeof path);

    BROWSEINFOA info;
    memset(&info, 0, sizeof info);
    info.hwndOwner = m_hWnd;  // no root, no callback
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_BROWSEINCLUDEURLS;

    // The new dialog style needs COM on this thread: ole32 is looked up at run time (a Windows 95
    // without it still browses, in the old style) and initialised around the one call.
    typedef HRESULT(WINAPI * CoInitializeFunction)(LPVOID);
    typedef void(WINAPI * CoUninitializeFunction)();
    HMODULE ole32 = AfxLoadSystemLibrary("ole32.dll");
    CoInitializeFunction coInitialize = NULL;
    CoUninitializeFunction coUninitialize = NULL;
    if (ole32) {
        coInitialize = reinterpret_cast<CoInitializeFunction>(
            reinterpret_cast<void (*)()>(::GetProcAddress(ole32, "CoInitialize")));
        coUninitialize = reinterpret_cast<CoUninitializeFunction>(
            reinterpret_cast<void (*)()>(::GetProcAddress(ole32, "CoUninitialize")));
    }
    // S_OK and S_FALSE (already initialised) both take one CoUninitialize.
    BOOL comStarted = coInitialize && coUninitialize && SUCCEEDED(coInitialize(NULL));

    LPITEMIDLIST item = ::SHBrowseForFolderA(&info);
    if (item) {
        if (!::SHGetPathFromIDListA(item, path))
            path[0] = '\0';
        // The item belongs to the shell's allocator; without it the item cannot be freed.
        IMalloc* allocator = NULL;
        if (::SHGetMalloc(&allocator) == S_OK) {
            allocator->Free(item);
            allocator->Release();
        }
    }

    if (comStarted)
        coUninitialize();
    if (ole32)
        ::FreeLibrary(ole32);
    return CString(path);
}

void CSetupDlg::OnQuit()
{
    ::PostQuitMessage(1);
}
