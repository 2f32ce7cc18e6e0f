// Resource ids of the uninstall program (uninstall.rc).
#pragma once

#define IDR_MAINFRAME 128         // the program's icon
#define IDD_UNINSTALL_DIALOG 102  // the confirmation dialog
#define IDD_UNINSTALL_STATUS 129  // the status window shown while the run works

#define IDC_NOTICE_TEXT 1000  // the notice in the confirmation dialog
#define IDC_STATUS_TEXT 1001  // the status window's one line
