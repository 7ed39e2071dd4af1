// The print spooler's client API. Calls reach qorspoold over its socket in
// $QOR_RUNTIME_DIR; the first call starts the service when none runs.
// Every printer handle owns one connection to the service, so whatever a
// handle holds (an open job included) is released when its process dies.
// Strings are UTF-16 (W forms) or the ANSI code page (A forms); records come
// back packed into the caller's buffer, fixed parts first, strings at the
// end, and a too-small buffer gives ERROR_INSUFFICIENT_BUFFER with the
// needed size.
#pragma once

#include "qor/devmode.h"
#include "qor/kernel.h"

QOR_BEGIN_C

typedef void* PSECURITY_DESCRIPTOR;

typedef struct _PRINTER_DEFAULTSA {
    LPSTR pDatatype;
    void* pDevMode;
    DWORD DesiredAccess;
} PRINTER_DEFAULTSA, *PPRINTER_DEFAULTSA, *LPPRINTER_DEFAULTSA;

typedef struct _PRINTER_DEFAULTSW {
    LPWSTR pDatatype;
    LPDEVMODEW pDevMode;
    DWORD DesiredAccess;
} PRINTER_DEFAULTSW, *PPRINTER_DEFAULTSW, *LPPRINTER_DEFAULTSW;

typedef struct _PRINTER_INFO_1A {
    DWORD Flags;
    LPSTR pDescription;
    LPSTR pName;
    LPSTR pComment;
} PRINTER_INFO_1A, *PPRINTER_INFO_1A;

typedef struct _PRINTER_INFO_1W {
    DWORD Flags;
    LPWSTR pDescription;
    LPWSTR pName;
    LPWSTR pComment;
} PRINTER_INFO_1W, *PPRINTER_INFO_1W;

typedef struct _PRINTER_INFO_2A {
    LPSTR pServerName;
    LPSTR pPrinterName;
    LPSTR pShareName;
    LPSTR pPortName;
    LPSTR pDriverName;
    LPSTR pComment;
    LPSTR pLocation;
    void* pDevMode;  // the narrow device mode; the suite only passes it through
    LPSTR pSepFile;
    LPSTR pPrintProcessor;
    LPSTR pDatatype;
    LPSTR pParameters;
    PSECURITY_DESCRIPTOR pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
} PRINTER_INFO_2A, *PPRINTER_INFO_2A;

typedef struct _PRINTER_INFO_2W {
    LPWSTR pServerName;
    LPWSTR pPrinterName;
    LPWSTR pShareName;
    LPWSTR pPortName;
    LPWSTR pDriverName;
    LPWSTR pComment;
    LPWSTR pLocation;
    LPDEVMODEW pDevMode;
    LPWSTR pSepFile;
    LPWSTR pPrintProcessor;
    LPWSTR pDatatype;
    LPWSTR pParameters;
    PSECURITY_DESCRIPTOR pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
} PRINTER_INFO_2W, *PPRINTER_INFO_2W;

typedef struct _PRINTER_INFO_3 {
    PSECURITY_DESCRIPTOR pSecurityDescriptor;
} PRINTER_INFO_3, *PPRINTER_INFO_3;

typedef struct _PRINTER_INFO_5A {
    LPSTR pPrinterName;
    LPSTR pPortName;
    DWORD Attributes;
    DWORD DeviceNotSelectedTimeout;
    DWORD TransmissionRetryTimeout;
} PRINTER_INFO_5A, *PPRINTER_INFO_5A;

typedef struct _PRINTER_INFO_5W {
    LPWSTR pPrinterName;
    LPWSTR pPortName;
    DWORD Attributes;
    DWORD DeviceNotSelectedTimeout;
    DWORD TransmissionRetryTimeout;
} PRINTER_INFO_5W, *PPRINTER_INFO_5W;

typedef struct _DRIVER_INFO_2W {
    DWORD cVersion;
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDriverPath;
    LPWSTR pDataFile;
    LPWSTR pConfigFile;
} DRIVER_INFO_2W, *PDRIVER_INFO_2W;

typedef struct _DRIVER_INFO_3W {
    DWORD cVersion;
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDriverPath;
    LPWSTR pDataFile;
    LPWSTR pConfigFile;
    LPWSTR pHelpFile;
    LPWSTR pDependentFiles;  // double-zero-terminated list
    LPWSTR pMonitorName;     // the driver's language monitor, or null
    LPWSTR pDefaultDataType;
} DRIVER_INFO_3W, *PDRIVER_INFO_3W;

typedef struct _PORT_INFO_1W {
    LPWSTR pName;
} PORT_INFO_1W, *PPORT_INFO_1W;

typedef struct _PORT_INFO_2W {
    LPWSTR pPortName;
    LPWSTR pMonitorName;
    LPWSTR pDescription;  // what stands behind the name: device and settings
    DWORD fPortType;
    DWORD Reserved;
} PORT_INFO_2W, *PPORT_INFO_2W;

typedef struct _MONITOR_INFO_1W {
    LPWSTR pName;
} MONITOR_INFO_1W, *PMONITOR_INFO_1W;

typedef struct _MONITOR_INFO_2W {
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDLLName;  // module file, looked up in the driver folder, then bin/
} MONITOR_INFO_2W, *PMONITOR_INFO_2W;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME;

typedef struct _JOB_INFO_1W {
    DWORD JobId;
    LPWSTR pPrinterName;
    LPWSTR pMachineName;
    LPWSTR pUserName;
    LPWSTR pDocument;
    LPWSTR pDatatype;
    LPWSTR pStatus;
    DWORD Status;
    DWORD Priority;
    DWORD Position;
    DWORD TotalPages;
    DWORD PagesPrinted;
    SYSTEMTIME Submitted;
} JOB_INFO_1W, *PJOB_INFO_1W;

// Level 2 adds the job's device mode; the fields this system does not keep
// (notify name, print processor, parameters, driver name, security, start
// and until times, elapsed time) come back empty or zero.
typedef struct _JOB_INFO_2W {
    DWORD JobId;
    LPWSTR pPrinterName;
    LPWSTR pMachineName;
    LPWSTR pUserName;
    LPWSTR pDocument;
    LPWSTR pNotifyName;
    LPWSTR pDatatype;
    LPWSTR pPrintProcessor;
    LPWSTR pParameters;
    LPWSTR pDriverName;
    LPDEVMODEW pDevMode;
    LPWSTR pStatus;
    void* pSecurityDescriptor;
    DWORD Status;
    DWORD Priority;
    DWORD Position;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD TotalPages;
    DWORD Size;
    SYSTEMTIME Submitted;
    DWORD Time;
    DWORD PagesPrinted;
} JOB_INFO_2W, *PJOB_INFO_2W;

typedef struct _DOC_INFO_1A {
    LPSTR pDocName;
    LPSTR pOutputFile;
    LPSTR pDatatype;
} DOC_INFO_1A, *PDOC_INFO_1A;

typedef struct _DOC_INFO_1W {
    LPWSTR pDocName;
    LPWSTR pOutputFile;
    LPWSTR pDatatype;
} DOC_INFO_1W, *PDOC_INFO_1W;

typedef struct _DOC_INFO_2W {
    LPWSTR pDocName;
    LPWSTR pOutputFile;
    LPWSTR pDatatype;
    DWORD dwMode;
    DWORD JobId;
} DOC_INFO_2W, *PDOC_INFO_2W;

typedef struct _DOC_INFO_3W {
    LPWSTR pDocName;
    LPWSTR pOutputFile;
    LPWSTR pDatatype;
    DWORD dwFlags;
} DOC_INFO_3W, *PDOC_INFO_3W;

// Access rights.
#define SERVER_ACCESS_ADMINISTER 0x00000001
#define SERVER_ACCESS_ENUMERATE 0x00000002
#define PRINTER_ACCESS_ADMINISTER 0x00000004
#define PRINTER_ACCESS_USE 0x00000008
#ifndef JOB_ACCESS_ADMINISTER
#define JOB_ACCESS_ADMINISTER 0x00000010
#define JOB_ACCESS_READ 0x00000020
#define JOB_ALL_ACCESS 0x000F0030
#endif
#define PRINTER_ALL_ACCESS 0x000F000C

// Enumeration flags.
#define PRINTER_ENUM_DEFAULT 0x00000001
#define PRINTER_ENUM_LOCAL 0x00000002
#define PRINTER_ENUM_CONNECTIONS 0x00000004
#define PRINTER_ENUM_NAME 0x00000008

// Printer attributes.
#define PRINTER_ATTRIBUTE_QUEUED 0x00000001
#define PRINTER_ATTRIBUTE_DIRECT 0x00000002
#define PRINTER_ATTRIBUTE_DEFAULT 0x00000004
#define PRINTER_ATTRIBUTE_SHARED 0x00000008
#define PRINTER_ATTRIBUTE_NETWORK 0x00000010
#define PRINTER_ATTRIBUTE_HIDDEN 0x00000020
#define PRINTER_ATTRIBUTE_LOCAL 0x00000040
#define PRINTER_ATTRIBUTE_ENABLE_DEVQ 0x00000080
#define PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS 0x00000100
#define PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST 0x00000200
#define PRINTER_ATTRIBUTE_WORK_OFFLINE 0x00000400
#define PRINTER_ATTRIBUTE_ENABLE_BIDI 0x00000800
#define PRINTER_ATTRIBUTE_RAW_ONLY 0x00001000
#define PRINTER_ATTRIBUTE_PUBLISHED 0x00002000

// Printer status bits.
#define PRINTER_STATUS_PAUSED 0x00000001
#define PRINTER_STATUS_ERROR 0x00000002
#define PRINTER_STATUS_PENDING_DELETION 0x00000004
#define PRINTER_STATUS_PAPER_JAM 0x00000008
#define PRINTER_STATUS_PAPER_OUT 0x00000010
#define PRINTER_STATUS_MANUAL_FEED 0x00000020
#define PRINTER_STATUS_PAPER_PROBLEM 0x00000040
#define PRINTER_STATUS_OFFLINE 0x00000080
#define PRINTER_STATUS_IO_ACTIVE 0x00000100
#define PRINTER_STATUS_BUSY 0x00000200
#define PRINTER_STATUS_PRINTING 0x00000400
#define PRINTER_STATUS_OUTPUT_BIN_FULL 0x00000800
#define PRINTER_STATUS_NOT_AVAILABLE 0x00001000
#define PRINTER_STATUS_WAITING 0x00002000
#define PRINTER_STATUS_PROCESSING 0x00004000
#define PRINTER_STATUS_INITIALIZING 0x00008000
#define PRINTER_STATUS_WARMING_UP 0x00010000
#define PRINTER_STATUS_TONER_LOW 0x00020000
#define PRINTER_STATUS_NO_TONER 0x00040000
#define PRINTER_STATUS_PAGE_PUNT 0x00080000
#define PRINTER_STATUS_USER_INTERVENTION 0x00100000
#define PRINTER_STATUS_OUT_OF_MEMORY 0x00200000
#define PRINTER_STATUS_DOOR_OPEN 0x00400000
#define PRINTER_STATUS_SERVER_UNKNOWN 0x00800000
#define PRINTER_STATUS_POWER_SAVE 0x01000000

// SetPrinter commands.
#define PRINTER_CONTROL_PAUSE 1
#define PRINTER_CONTROL_RESUME 2
#define PRINTER_CONTROL_PURGE 3
#define PRINTER_CONTROL_SET_STATUS 4

// SetJob commands and job status.
#define JOB_CONTROL_PAUSE 1
#define JOB_CONTROL_RESUME 2
#define JOB_CONTROL_CANCEL 3
#define JOB_CONTROL_RESTART 4
#define JOB_CONTROL_DELETE 5
#define JOB_CONTROL_SENT_TO_PRINTER 6
#define JOB_CONTROL_LAST_PAGE_EJECTED 7
#define JOB_STATUS_PAUSED 0x00000001
#define JOB_STATUS_ERROR 0x00000002
#define JOB_STATUS_DELETING 0x00000004
#define JOB_STATUS_SPOOLING 0x00000008
#define JOB_STATUS_PRINTING 0x00000010
#define JOB_STATUS_OFFLINE 0x00000020
#define JOB_STATUS_PAPEROUT 0x00000040
#define JOB_STATUS_PRINTED 0x00000080
#define JOB_STATUS_DELETED 0x00000100
#define JOB_STATUS_BLOCKED_DEVQ 0x00000200
#define JOB_STATUS_USER_INTERVENTION 0x00000400
#define JOB_STATUS_RESTART 0x00000800
#define JOB_STATUS_COMPLETE 0x00001000

#define PORT_TYPE_WRITE 0x0001
#define PORT_TYPE_READ 0x0002

// Spooler error numbers, with the platform's values.
#define ERROR_PRINTER_DRIVER_ALREADY_INSTALLED 1795L
#define ERROR_UNKNOWN_PRINTPROCESSOR 1798L
#define ERROR_UNKNOWN_PRINT_MONITOR 3000L
#define ERROR_SPL_NO_STARTDOC 3004L
#define ERROR_PRINT_MONITOR_ALREADY_INSTALLED 3006L
#define ERROR_PRINT_MONITOR_IN_USE 3008L
#define ERROR_PRINTER_HAS_JOBS_QUEUED 3009L
// The service could not be reached (not running and could not be started).
#define RPC_S_SERVER_UNAVAILABLE 1722L

// The environment every driver of the suite is installed for; null means
// the same.
#define QOR_DRIVER_ENVIRONMENT "Windows NT x86"

// QorSpoolerControl commands.
#define QOR_SPOOLER_START 1  // make sure the service runs (starts it if needed)
#define QOR_SPOOLER_STOP 2   // stop the service and wait until it has gone
#define QOR_SPOOLER_PING 3   // TRUE when the service runs; never starts it

QORAPI BOOL OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
QORAPI BOOL OpenPrinterW(LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults);
QORAPI BOOL ClosePrinter(HANDLE printer);
QORAPI BOOL EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size,
                          LPDWORD needed, LPDWORD returned);
QORAPI BOOL EnumPrintersW(DWORD flags, LPWSTR name, DWORD level, LPBYTE buffer, DWORD size,
                          LPDWORD needed, LPDWORD returned);
QORAPI BOOL GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed);
QORAPI BOOL GetPrinterW(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed);
QORAPI BOOL SetPrinterA(HANDLE printer, DWORD level, LPBYTE info, DWORD command);
QORAPI BOOL SetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD command);
// Level 0: a command alone. Level 2: the job's device mode is replaced by
// the record's pDevMode (its other fields are not changed here), then the
// command, if any, is carried out.
QORAPI BOOL SetJobW(HANDLE printer, DWORD job_id, DWORD level, LPBYTE info, DWORD command);
// Levels 1 and 2.
QORAPI BOOL GetJobW(HANDLE printer, DWORD job_id, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed);
// The handle's data type and device mode for the documents it starts from
// now on; a null pDevMode leaves the jobs without one.
QORAPI BOOL ResetPrinterW(HANDLE printer, LPPRINTER_DEFAULTSW defaults);
QORAPI BOOL EnumJobsW(HANDLE printer, DWORD first, DWORD count, DWORD level, LPBYTE buffer,
                      DWORD size, LPDWORD needed, LPDWORD returned);
QORAPI DWORD GetPrinterDataA(HANDLE printer, LPSTR name, LPDWORD type, LPBYTE data, DWORD size,
                             LPDWORD needed);
QORAPI DWORD GetPrinterDataW(HANDLE printer, LPWSTR name, LPDWORD type, LPBYTE data, DWORD size,
                             LPDWORD needed);
QORAPI DWORD SetPrinterDataA(HANDLE printer, LPSTR name, DWORD type, LPBYTE data, DWORD size);
QORAPI DWORD SetPrinterDataW(HANDLE printer, LPWSTR name, DWORD type, LPBYTE data, DWORD size);
QORAPI BOOL GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer,
                                       DWORD size, LPDWORD needed);
QORAPI BOOL GetPrinterDriverDirectoryW(LPWSTR server, LPWSTR environment, DWORD level, LPBYTE buffer,
                                       DWORD size, LPDWORD needed);
QORAPI BOOL GetPrinterDriverW(HANDLE printer, LPWSTR environment, DWORD level, LPBYTE buffer,
                              DWORD size, LPDWORD needed);
QORAPI BOOL EnumPrinterDriversW(LPWSTR server, LPWSTR environment, DWORD level, LPBYTE buffer,
                                DWORD size, LPDWORD needed, LPDWORD returned);
QORAPI DWORD StartDocPrinterA(HANDLE printer, DWORD level, LPBYTE doc_info);
QORAPI DWORD StartDocPrinterW(HANDLE printer, DWORD level, LPBYTE doc_info);
QORAPI BOOL StartPagePrinter(HANDLE printer);
QORAPI BOOL WritePrinter(HANDLE printer, LPVOID buffer, DWORD size, LPDWORD written);
QORAPI BOOL EndPagePrinter(HANDLE printer);
QORAPI BOOL EndDocPrinter(HANDLE printer);
QORAPI BOOL AbortPrinter(HANDLE printer);

// Administration.
// AddPrinterW: level 2; pPrinterName, pPortName and pDriverName are needed,
// the driver must be installed. Returns an open handle, null on failure.
QORAPI HANDLE AddPrinterW(LPWSTR server, DWORD level, LPBYTE info);
QORAPI BOOL DeletePrinter(HANDLE printer);
// Levels 2 and 3. Files named by full path are copied into the driver
// folder's "3" subfolder; bare names must already be there.
QORAPI BOOL AddPrinterDriverW(LPWSTR server, DWORD level, LPBYTE info);
QORAPI BOOL DeletePrinterDriverW(LPWSTR server, LPWSTR environment, LPWSTR driver_name);
// Level 1 (PORT_INFO_1W); monitor null or "Local Port".
QORAPI BOOL AddPortExW(LPWSTR server, DWORD level, LPBYTE buffer, LPWSTR monitor_name);
QORAPI BOOL DeletePortW(LPWSTR server, HANDLE window, LPWSTR port_name);
// Levels 1 and 2.
QORAPI BOOL EnumPortsW(LPWSTR server, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                       LPDWORD returned);
// Level 2: registers a language monitor module.
QORAPI BOOL AddMonitorW(LPWSTR server, DWORD level, LPBYTE info);
QORAPI BOOL DeleteMonitorW(LPWSTR server, LPWSTR environment, LPWSTR monitor_name);
// Levels 1 and 2: "Local Port", built into the service (no module file),
// then the registered language monitors.
QORAPI BOOL EnumMonitorsW(LPWSTR server, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned);

// What stands behind a port name (the suite's own call; the port must exist).
// device: "/dev/ttyUSB0", "/dev/usb/lp0", "/dev/lp0", a file path, or
// "emu:<socket path>" for the printer emulator; null or empty keeps the
// default for the name (COMn -> /dev/ttyS<n-1>, LPTn -> /dev/lp<n-1>,
// USBnnn -> /dev/usb/lp<nnn-1>). settings (serial ports): "9600,n,8,1"
// with an optional fifth field "x" (XON/XOFF) or "p" (RTS/CTS); null keeps
// the stored settings.
QORAPI BOOL QorConfigurePortW(LPCWSTR port_name, LPCWSTR device, LPCWSTR settings);
// Starts, stops or pings the service (QOR_SPOOLER_*).
QORAPI BOOL QorSpoolerControl(DWORD command);

// Answered by the printer's interface driver (its installed configuration
// file, qor/ddiui.h). DeviceCapabilities: the capability's count or value,
// -1 when the printer or its driver cannot be had. The A form gives names
// in the ANSI code page (64 bytes a paper name, 24 a bin name).
QORAPI LONG DeviceCapabilitiesW(LPCWSTR device, LPCWSTR port, WORD capability, LPWSTR output,
                                const DEVMODEW* devmode);
QORAPI LONG DeviceCapabilitiesA(LPCSTR device, LPCSTR port, WORD capability, LPSTR output,
                                const void* devmode);
// The document's device mode: mode 0 gives the size of the driver's record;
// DM_OUT_BUFFER writes the printer's record merged with `input` (DM_IN_BUFFER)
// to `output` and gives IDOK (1). Negative on failure. DM_IN_PROMPT shows
// the driver's document sheet under `window` (through "compstui.dll", on
// the desktop layer) and gives IDOK (1), with the edited record in `output`,
// or IDCANCEL (2).
QORAPI LONG DocumentPropertiesW(void* window, HANDLE printer, LPWSTR device, DEVMODEW* output, DEVMODEW* input,
                                DWORD mode);
// The same with ANSI records: mode 0 gives the driver's size less the 64
// bytes the narrow names save; records are converted through the wide form
// (an input shorter than its form name, or whose driver part does not follow
// the public part it claims, is refused with ERROR_INVALID_PARAMETER).
QORAPI LONG DocumentPropertiesA(void* window, HANDLE printer, LPSTR device, DEVMODEA* output, DEVMODEA* input,
                                DWORD mode);

QOR_END_C

#ifdef __cplusplus
static_assert(offsetof(JOB_INFO_2W, pDevMode) == 80 && offsetof(JOB_INFO_2W, pStatus) == 88);
static_assert(offsetof(JOB_INFO_2W, Status) == 104 && offsetof(JOB_INFO_2W, Size) == 128);
static_assert(offsetof(JOB_INFO_2W, Submitted) == 132 && offsetof(JOB_INFO_2W, PagesPrinted) == 152);
static_assert(sizeof(JOB_INFO_2W) == 160);
#endif
