/* Resource ids of lksupdate.exe, shared by the C++ code and lksupdate.rc. */
#ifndef LKS_UI_RESOURCE_H
#define LKS_UI_RESOURCE_H

#define IDS_WIZARD_CAPTION 103
#define IDD_PAGE_SERVER    104
#define IDD_PAGE_PROGRESS  105
#define IDD_PAGE_FINISH    106
#define IDR_MAINFRAME      128
#define IDB_SIDEBAR        130

#define IDC_PROGRESS_CURRENT 1000
#define IDC_LIST_FILES       1001
#define IDC_PROGRESS_TOTAL   1002
#define IDC_STATUS           1003
#define IDC_RADIO_ONLINE     1004
#define IDC_RADIO_LOCAL      1005
#define IDC_EDIT_SERVER      1006
#define IDC_STATIC_SERVER    1007

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
