#define IDD_MAIN 102
#define IDC_VALUE 1006
#define IDS_HINT 50
