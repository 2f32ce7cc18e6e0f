// CSetupDlg, the setup wizard (template 102), and CAboutDlg, the about box of its system menu.
#pragma once

#include "afxwin.h"
#include "resource.h"
#include "setup_globals.h"

class CDriverRegistrar;

class CSetupDlg : public CDialog {
public:
    explicit CSetupDlg(CWnd* pParent = NULL);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

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
    void AppendText(const char* text);
    CString BrowseForFolder();

    // The installation run behind "Install".
    void RunInstallation();

    DECLARE_MESSAGE_MAP()

    int m_step;
    int m_windowsKind;
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

// Re-registers one configured driver: unload, remove, wait 1 s, install, load. Returns how
// many of the install and load steps failed (0 to 2).
int ReplaceDriver(CDriverRegistrar* registrar);

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()
};
