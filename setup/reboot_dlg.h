// CRebootDlg: the reboot offer after a successful installation on Windows 95/98 (template 131).
// The framework's own handling ends it: IDOK for "Reboot", IDCANCEL for "Don't Reboot" and Escape.
#pragma once

#include "afxwin.h"
#include "resource.h"

class CRebootDlg : public CDialog {
public:
    explicit CRebootDlg(CWnd* pParent = NULL) : CDialog(IDD_REBOOT, pParent) {}
};
