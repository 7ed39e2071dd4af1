// Resource and control identifiers of the presenter utility.
#define IDD_COLLECTION_TIME 102
#define IDD_CHOOSE_PRINTER 132
#define IDC_SET 1000
#define IDC_CLOSE 1001
#define IDC_PRINTERS 1004
#define IDC_VALUE 1006
#define IDC_VALUE_SPIN 1008
