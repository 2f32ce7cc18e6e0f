// CRebootDlg: "Reboot" ends it with IDOK, "Don't Reboot" and Escape with IDCANCEL.
#include "reboot_dlg.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CRebootDlg, CDialog)
END_MESSAGE_MAP()

CRebootDlg::CRebootDlg(CWnd* pParent) : CDialog(IDD_REBOOT, pParent)
{
}

CRebootDlg::~CRebootDlg()
{
}

void CRebootDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}
