// The installation run behind "Install", in the order the user sees it: the install directory,
// the developer and driver file copies, the re-registration of both drivers with the check of each
// copied driver against the package record, and the outcome with the reboot offer.
#include "setup_dlg.h"

#include <string.h>

#include "bounded_text.h"
#include "driver_sequences.h"
#include "install_paths.h"
#include "reboot_dlg.h"
#include "restart_delete.h"
#include "setup_globals.h"
#include "shell_files.h"
#include "support_contact.h"

namespace {

const char kRestartFirstMessage[] =
    "The TALVEN drivers of an earlier installation are removed only when the computer restarts.  "
    "Please restart the computer and then run setup again.";
const char kFailureMessage[] =
    "TALVEN installation was unsuccessful.  Please contact tech support at " TALVEN_SUPPORT_EMAIL
    ", or visit " TALVEN_SUPPORT_WEB " for more help.";

// The two driver files as installed in the driver directory.
struct InstalledDrivers {
    char windrvrPath[kDriverPathSize];
    char talvenkpPath[kDriverPathSize];
};

// GetDriverLocations made sure at start-up that these fit behind the driver directory.
int FormatInstalledDrivers(InstalledDrivers* drivers, const char* extension)
{
    return JoinText(drivers->windrvrPath, kDriverPathSize, g_driverDir, "\\" TALVEN_WINDRVR_FILE,
                    extension) &&
           JoinText(drivers->talvenkpPath, kDriverPathSize, g_driverDir, "\\" TALVEN_TALVENKP_FILE,
                    extension);
}

// An uninstall that could not stop a driver leaves its service marked for deletion until the
// restart; no service of that name can be created before then (NT family only).
int DriverServiceAwaitsRestart(WindowsKind kind)
{
    return IsNtSide(kind) && (IsServiceMarkedForDeletion(TALVEN_WINDRVR_NAME) ||
                              IsServiceMarkedForDeletion(TALVEN_TALVENKP_NAME));
}

// An uninstall that found a driver file in use left its delete to the next restart, which would
// delete the copy made now, and another program's pending replace or move of a driver file would
// undo it too: take them back first. Where that cannot be done, or cannot be told, the run is not
// a success (the restart may leave a driver without its file). Returns the failed steps.
int WithdrawPendingDeletes(const InstalledDrivers& drivers, WindowsKind kind)
{
    const char* const paths[2] = {drivers.windrvrPath, drivers.talvenkpPath};
    return WithdrawDeletesAtRestart(paths, 2, IsNtSide(kind) ? 0 : 1) ? 0 : 1;
}

// Restarts the computer after the reboot offer: ExitWindowsEx, and when that fails the NT
// family's InitiateSystemShutdownA, looked up at run time so that a Windows 9x advapi32 without
// the export cannot keep the program from loading.
void RestartComputer()
{
    if (::ExitWindowsEx(EWX_REBOOT, 0))
        return;
    typedef BOOL(WINAPI * ShutdownFunction)(LPSTR, LPSTR, DWORD, BOOL, BOOL);
    HMODULE advapi = ::GetModuleHandleA("advapi32.dll");
    FARPROC found = advapi ? ::GetProcAddress(advapi, "InitiateSystemShutdownA") : NULL;
    ShutdownFunction shutdown =
        reinterpret_cast<ShutdownFunction>(reinterpret_cast<void (*)()>(found));
    if (shutdown)
        shutdown(NULL, NULL, 0, FALSE, TRUE);
}

}  // namespace

void CSetupDlg::RunInstallation()
{
    m_installDirEdit.GetWindowText(m_installDir, kInstallDirTextCount);
    BOOL skipDeveloperFiles = m_developerFilesCheck.SendMessage(BM_GETCHECK) != 0;

    // Before anything is touched: the wizard stays on this page.
    if (DriverServiceAwaitsRestart(m_windowsKind)) {
        MessageBox(kRestartFirstMessage, "Error", MB_OK);
        return;
    }

    if (!skipDeveloperFiles && !CreateDirectoryPath(m_installDir)) {
        MessageBox("Could not create install directory", "Error", MB_OK);
        return;
    }

    ShowWindow(SW_HIDE);
    CStatusWindow status(IDD_STATUS, IDC_STATUS_TEXT);
    status.Show(this);

    int failures = 0;
    if (!skipDeveloperFiles)
        failures += CopyDeveloperFiles(status);
    const char* extension = DriverFileExtension(m_windowsKind);
    InstalledDrivers drivers;
    if (FormatInstalledDrivers(&drivers, extension)) {
        failures += WithdrawPendingDeletes(drivers, m_windowsKind);
        CopyDriverFiles(status);
        failures += RegisterDrivers(status, extension, drivers.windrvrPath, drivers.talvenkpPath);
    } else {
        ++failures;  // never reached: start-up refused a driver directory this long
    }
    AfxPause(100);
    status.Hide();

    ReportOutcome(failures);
    ::PostQuitMessage(0);
}

int CSetupDlg::CopyDeveloperFiles(CStatusWindow& status)
{
    status.SetText("Copying developer files...");
    // A copy the shell could not finish is a failed step of the run.
    int copied = CopyPackageFiles(m_hWnd, g_moduleDir, m_installDir);
    AfxPause(100);
    return copied ? 0 : 1;
}

// The shell's result is not looked at here: the check of each copied file against the record
// decides.
void CSetupDlg::CopyDriverFiles(CStatusWindow& status)
{
    status.SetText("Copying system files...");
    ShellCopyFiles(m_hWnd, g_systemFilePattern, g_driverDir);
    AfxPause(100);
}

int CSetupDlg::RegisterDrivers(CStatusWindow& status, const char* extension,
                               const char* windrvrPath, const char* talvenkpPath)
{
    status.SetText("Registering system files...");
    return RegisterDriver(TALVEN_WINDRVR_NAME, TALVEN_WINDRVR_FILE, extension, windrvrPath) +
           RegisterDriver(TALVEN_TALVENKP_NAME, TALVEN_TALVENKP_FILE, extension, talvenkpPath);
}

// One driver with a registrar of its own, deleted when done. The installed file must hold the
// bytes that setup.exe's record lists (the shell's copy is not trusted, and the package folder may
// have changed since the check): a driver that does not is not registered, and a registration left
// by an earlier installation is removed, so that no restart starts a file that is not the
// package's. Returns the failed steps (0 to 2).
int CSetupDlg::RegisterDriver(const char* name, const char* fileName, const char* extension,
                              const char* imagePath)
{
    const int preferVxd = IsNtSide(m_windowsKind) ? 0 : 1;
    CRegistrarOwner registrar(preferVxd, name, fileName, imagePath);
    char packagePath[kDriverPathSize];
    if (!JoinText(packagePath, sizeof packagePath, "system\\", fileName, extension) ||
        !FileMatchesRecord(m_record, packagePath, imagePath)) {
        if (registrar.Get()) {
            registrar.Get()->Unload();
            registrar.Get()->Remove();
        }
        return 1;
    }
    return ReplaceDriver(registrar.Get(), AfxPause);
}

void CSetupDlg::ReportOutcome(int failures)
{
    if (failures != 0) {
        MessageBox(kFailureMessage, "Error", MB_OK);
    } else if (IsNtSide(m_windowsKind)) {
        MessageBox("TALVEN Installation Complete!", "", MB_OK);
    } else {
        CRebootDlg reboot;
        if (reboot.DoModal() == IDOK)
            RestartComputer();
    }
}
