// CSetupApp: the setup program's application object, which runs the wizard.
#pragma once

#include "afxwin.h"

class CSetupApp : public CWinApp {
public:
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CSetupApp theApp;
