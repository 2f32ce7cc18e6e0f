// CUninstallDlg: the confirmation dialog, its start-up checks and the uninstall run.
#pragma once

#include "afxwin.h"
#include "driver_registrar.h"
#include "resource.h"

// The refusal of a Windows that uninstall does not support, or whose version it cannot read
// (caption "Error"), before it ends with kUnsupportedExitCode.
extern const char kUnsupportedText[];
enum { kUnsupportedExitCode = 1 };

class CUninstallDlg : public CDialog {
public:
    explicit CUninstallDlg(CWnd* pParent = NULL);

    enum { IDD = IDD_UNINSTALL_DIALOG };

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;  // "UnInstall"
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    DECLARE_MESSAGE_MAP()

private:
    // Unload, pause 1000 ms, Remove; returns what is left of the driver (driver_sequences.h).
    int RemoveOneDriver(const char* name, const char* fileName, const char* imagePath);
    // After the deletes: "TALVEN Removed!", the restart notice, or the errors of what is left.
    void ReportOutcome(int windrvrLeftovers, int talvenkpLeftovers);

    // The Windows directory (asked with a size of kWindowsDirQuerySize), later the window title.
    enum { kWindowsDirQuerySize = kDriverPathSize - 1 };
    char m_windowsDir[kDriverPathSize];
    char m_driverDir[kDriverPathSize];
    WindowsKind m_windowsKind;
    char m_talvenkpPath[kDriverPathSize];
    char m_windrvrPath[kDriverPathSize];
    int m_preferVxd;  // 1 on Windows 95/98, 0 on the NT family
    CButton m_uninstallButton;
    CButton m_cancelButton;
    CStatic m_noticeText;
    HICON m_hIcon;
};
