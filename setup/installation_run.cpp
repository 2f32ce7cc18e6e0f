// The installation run behind "Install": install directory, developer and driver file copies,
// the check of the copied driver files, re-registration of both drivers, the outcome and the
// reboot offer.
#include "setup_dlg.h"

#include <shellapi.h>
#include <string.h>

#include "driver_registrar.h"
#include "file_compare.h"
#include "install_paths.h"
#include "reboot_dlg.h"
#include "restart_delete.h"
#include "setup_globals.h"
#include "support_contact.h"

namespace {

const char kFailureMessage[] =
    "TALVEN installation was unsuccessful.  Please contact tech support at " TALVEN_SUPPORT_EMAIL
    ", or visit " TALVEN_SUPPORT_WEB " for more help.";

// FOF_NOCONFIRMATION | FOF_SIMPLEPROGRESS | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI |
// FOF_NOCOPYSECURITYATTRIBS
const FILEOP_FLAGS kCopyFlags = 0x0F10;

// Owns one registrar from CreateDriverRegistrar and deletes it exactly once.
class RegistrarOwner {
public:
    explicit RegistrarOwner(CDriverRegistrar* registrar) : m_registrar(registrar) {}
    ~RegistrarOwner() { delete m_registrar; }
    CDriverRegistrar* get() const { return m_registrar; }

private:
    RegistrarOwner(const RegistrarOwner&) = delete;
    RegistrarOwner& operator=(const RegistrarOwner&) = delete;
    CDriverRegistrar* m_registrar;
};

// Formats a one-entry file list for the shell: the text, its NUL and a second NUL. The text is
// cut if needed so that both NULs fit.
void FormatFileList(char* list, size_t capacity, const char* text)
{
    AfxCopyText(list, capacity - 1, text);
    list[strlen(list) + 1] = '\0';
}

void FillCopyRecord(SHFILEOPSTRUCTA* record, HWND owner, const char* from, const char* to)
{
    memset(record, 0, sizeof *record);
    record->hwnd = owner;
    record->wFunc = FO_COPY;
    record->pFrom = from;
    record->pTo = to;
    record->fFlags = kCopyFlags;
    record->fAnyOperationsAborted = FALSE;
    record->lpszProgressTitle = "Copying Files...";
}

// Sets the status line and paints it at once: the run blocks the thread until it ends.
void ShowStatus(CDialog& status, const char* text)
{
    status.SetDlgItemText(IDC_STATUS_TEXT, text);
    status.RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// One driver: a fresh registrar, configured, re-registered, deleted. Returns the failed steps;
// a registrar that cannot be created fails both of its counted steps.
int RegisterDriver(int preferVxd, const char* name, const char* fileName, const char* imagePath)
{
    RegistrarOwner registrar(CreateDriverRegistrar(preferVxd));
    if (!registrar.get())
        return 2;
    registrar.get()->Configure(name, fileName, TALVEN_DRIVER_START_TYPE, imagePath, 0);
    return ReplaceDriver(registrar.get());
}

// The driver file as copied into the driver directory must hold the package's bytes.
int CheckCopiedDriver(const char* fileName, const char* extension, const char* installedPath)
{
    char packagePath[kSetupPathSize];
    if (AfxFormat(packagePath, sizeof packagePath, "%ssystem\\%s%s", g_moduleDir, fileName,
                  extension) < 0)
        return 1;
    return FilesHaveSameBytes(packagePath, installedPath) ? 0 : 1;
}

}  // namespace

int ReplaceDriver(CDriverRegistrar* registrar)
{
    int failures = 0;
    registrar->Unload();
    registrar->Remove();
    ::Sleep(1000);
    if (!registrar->Install())
        ++failures;
    if (!registrar->Load())
        ++failures;
    return failures;
}

void CSetupDlg::RunInstallation()
{
    char sourceList[kSetupPathSize];
    char destination[kSetupPathSize];
    char windrvrPath[kSetupPathSize];
    char talvenkpPath[kSetupPathSize];
    SHFILEOPSTRUCTA record;
    int failures = 0;

    m_installDirEdit.GetWindowText(m_installDir, 1023);
    BOOL skipDeveloperFiles = m_developerFilesCheck.SendMessage(BM_GETCHECK) != 0;

    if (!skipDeveloperFiles && !CreateDirectoryPath(m_installDir)) {
        MessageBox("Could not create install directory", "Error", MB_OK);
        return;
    }

    AfxFormat(sourceList, sizeof sourceList - 1, "%s*.*", g_moduleDir);
    sourceList[strlen(sourceList) + 1] = '\0';
    AfxFormat(destination, sizeof destination, "%s", m_installDir);
    FillCopyRecord(&record, m_hWnd, sourceList, destination);

    ShowWindow(SW_HIDE);

    CDialog status;
    status.Create(IDD_STATUS, this);
    status.ShowWindow(SW_SHOW);

    if (!skipDeveloperFiles) {
        ShowStatus(status, "Copying developer files...");
        // A copy the shell could not finish is a failed step of the run.
        if (::SHFileOperationA(&record) != 0 || record.fAnyOperationsAborted)
            ++failures;
        ::Sleep(100);
    }

    const char* extension = DriverFileExtension(m_windowsKind);
    AfxFormat(windrvrPath, sizeof windrvrPath, "%s\\%s%s", g_driverDir, TALVEN_WINDRVR_FILE,
              extension);
    AfxFormat(talvenkpPath, sizeof talvenkpPath, "%s\\%s%s", g_driverDir, TALVEN_TALVENKP_FILE,
              extension);
    // An uninstall that found a driver file in use left its delete to the next restart, which
    // would delete the copy made now: take that delete back first. Where it cannot be taken
    // back, the run is not a success (the restart would leave a driver without its file).
    const char* const driverPaths[2] = {windrvrPath, talvenkpPath};
    if (!WithdrawDeletesAtRestart(driverPaths, 2, m_windowsKind <= kWindows98 ? 1 : 0))
        ++failures;

    FormatFileList(sourceList, sizeof sourceList, g_systemFilePattern);
    AfxFormat(destination, sizeof destination, "%s", g_driverDir);
    FillCopyRecord(&record, m_hWnd, sourceList, destination);
    ShowStatus(status, "Copying system files...");
    ::SHFileOperationA(&record);
    ::Sleep(100);

    // The copy's own result is not trusted: each driver file must now match the package's.
    failures += CheckCopiedDriver(TALVEN_WINDRVR_FILE, extension, windrvrPath);
    failures += CheckCopiedDriver(TALVEN_TALVENKP_FILE, extension, talvenkpPath);

    ShowStatus(status, "Registering system files...");
    int preferVxd = m_windowsKind <= kWindows98 ? 1 : 0;
    failures += RegisterDriver(preferVxd, TALVEN_WINDRVR_NAME, TALVEN_WINDRVR_FILE, windrvrPath);
    failures += RegisterDriver(preferVxd, TALVEN_TALVENKP_NAME, TALVEN_TALVENKP_FILE,
                               talvenkpPath);

    ::Sleep(100);
    status.ShowWindow(SW_HIDE);

    if (failures != 0) {
        MessageBox(kFailureMessage, "Error", MB_OK);
    } else if (m_windowsKind >= kWindowsNT4) {
        MessageBox("TALVEN Installation Complete!", "", MB_OK);
    } else {
        CRebootDlg reboot;
        if (reboot.DoModal() == IDOK) {
            if (!::ExitWindowsEx(EWX_REBOOT, 0)) {
                // Looked up at run time, so that a Windows 9x advapi32 without this export
                // cannot keep the program from loading.
                typedef BOOL(WINAPI * ShutdownFunction)(LPSTR, LPSTR, DWORD, BOOL, BOOL);
                HMODULE advapi = ::GetModuleHandleA("advapi32.dll");
                FARPROC found = advapi ? ::GetProcAddress(advapi, "InitiateSystemShutdownA") : NULL;
                ShutdownFunction shutdown = reinterpret_cast<ShutdownFunction>(
                    reinterpret_cast<void (*)()>(found));
                if (shutdown)
                    shutdown(NULL, NULL, 0, FALSE, TRUE);
            }
        }
    }

    ::PostQuitMessage(0);
}
