// CUninstallApp: the uninstall program's application object, which runs the confirmation dialog.
#pragma once

#include "afxwin.h"

class CUninstallApp : public CWinApp {
public:
    // Runs CUninstallDlg modally and returns FALSE, so the program ends when the dialog closes.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
