// CRebootDlg: the reboot offer after a successful installation on Windows 95/98 (template 131).
#pragma once

#include "afxwin.h"

class CRebootDlg : public CDialog {
public:
    explicit CRebootDlg(CWnd* pParent = NULL);
    ~CRebootDlg() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()
};
