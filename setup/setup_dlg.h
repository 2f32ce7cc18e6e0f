// CSetupDlg, the setup wizard (template 102), and CAboutDlg, the about box of its system menu.
#pragma once

#include "afxwin.h"
#include "package_record.h"
#include "resource.h"
#include "setup_globals.h"

// The refusal of a Windows that setup does not support, or whose version it cannot read (caption
// "Error"), before it ends with kUnsupportedExitCode.
extern const char kUnsupportedWindowsText[];
enum { kUnsupportedExitCode = 1 };
// The refusal of a package folder too deep for its files' paths, and its exit status.
extern const char kFolderTooDeepText[];
enum { kFolderTooDeepExitCode = 1 };

class CSetupDlg : public CDialog {
public:
    explicit CSetupDlg(CWnd* pParent = NULL);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Hides the wizard for good, shows text in an "Error" box and ends the program with exitCode.
    void RefuseToRun(const char* text, int exitCode);

    // Window-level handlers.
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    // The wizard's pages and buttons.
    void OnQuit();
    void OnNext();
    void OnReadmeCheck();
    void OnBrowse();
    void OnDeveloperFilesCheck();
    BOOL PackageIsWhole();
    void AppendText(const char* text);
    CString BrowseForFolder();

    // The installation run behind "Install" and its steps; a step that can fail returns its
    // failed steps.
    void RunInstallation();
    int CopyDeveloperFiles(CStatusWindow& status);
    void CopyDriverFiles(CStatusWindow& status);
    int RegisterDrivers(CStatusWindow& status, const char* extension, const char* windrvrPath,
                        const char* talvenkpPath);
    int RegisterDriver(const char* name, const char* fileName, const char* extension,
                       const char* imagePath);
    void ReportOutcome(int failures);

    DECLARE_MESSAGE_MAP()

    int m_step;
    int m_windowsKind;
    PackageRecord m_record;  // the package's files as setup.exe lists them
    char m_windowsDir[kSetupPathSize];
    char m_installDir[kSetupPathSize];
    CButton m_developerFilesCheck;
    CStatic m_driverNote;
    CButton m_browseButton;
    CStatic m_dirPrompt;
    CEdit m_installDirEdit;
    CButton m_readmeCheck;
    CButton m_quitButton;
    CButton m_nextButton;
    CRichEditCtrl m_readmeText;
    HICON m_hIcon;
};

// The about box of the system menu (template 100): nothing of its own.
class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
