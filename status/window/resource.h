// Resource and control identifiers of the status settings program.
#define IDD_ABOUTBOX 100
#define IDD_STATUS_SETTINGS 102
#define IDC_RENEW 1000
#define IDC_CONDITIONS 1001
#define IDC_USE_INDICATIONS 1002
#define IDC_HINT 1003
#define IDC_ABOUT_TITLE 1010
#define IDC_ABOUT_VERSION 1011
#define IDM_ABOUTBOX 16
