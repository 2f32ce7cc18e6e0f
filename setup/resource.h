// Resource ids of the setup program: dialog templates, controls, string and icon.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SETUP_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_STATUS 130
#define IDD_REBOOT 131

#define IDC_README_TEXT 1001
#define IDC_QUIT 1004
#define IDC_NEXT 1005
#define IDC_README_CHECK 1007
#define IDC_INSTALL_DIR 1008
#define IDC_DIR_PROMPT 1009
#define IDC_BROWSE 1010
#define IDC_DRIVER_NOTE 1011
#define IDC_STATUS_TEXT 1012
#define IDC_DEVELOPER_FILES_CHECK 1013

// System menu command of the About entry.
#define IDM_ABOUTBOX 0x0010
