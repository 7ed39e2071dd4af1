// The print monitor interface: the port monitor's function table in the
// MONITOR2 layout, the serial time-out record, and the port-driver control
// codes a language monitor passes through.
#pragma once

#include "qor/kernel.h"

QOR_BEGIN_C

typedef HANDLE HWND;
typedef DWORD ACCESS_MASK;

typedef struct _COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
} COMMTIMEOUTS, *LPCOMMTIMEOUTS;

typedef struct _MONITOR2 {
    DWORD cbSize;
    BOOL (*pfnEnumPorts)(HANDLE hMonitor, LPWSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf,
                         LPDWORD pcbNeeded, LPDWORD pcReturned);
    BOOL (*pfnOpenPort)(HANDLE hMonitor, LPWSTR pName, PHANDLE pHandle);
    BOOL (*pfnOpenPortEx)(HANDLE hMonitor, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR pPrinterName,
                          PHANDLE pHandle, struct _MONITOR2* pMonitor2);
    BOOL (*pfnStartDocPort)(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
    BOOL (*pfnWritePort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
    BOOL (*pfnReadPort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);
    BOOL (*pfnEndDocPort)(HANDLE hPort);
    BOOL (*pfnClosePort)(HANDLE hPort);
    BOOL (*pfnAddPort)(HANDLE hMonitor, LPWSTR pName, HWND hWnd, LPWSTR pMonitorName);
    BOOL (*pfnAddPortEx)(HANDLE hMonitor, LPWSTR pName, DWORD Level, LPBYTE lpBuffer, LPWSTR lpMonitorName);
    BOOL (*pfnConfigurePort)(HANDLE hMonitor, LPWSTR pName, HWND hWnd, LPWSTR pPortName);
    BOOL (*pfnDeletePort)(HANDLE hMonitor, LPWSTR pName, HWND hWnd, LPWSTR pPortName);
    BOOL (*pfnGetPrinterDataFromPort)(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer,
                                      DWORD cbInBuffer, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                                      LPDWORD lpcbReturned);
    BOOL (*pfnSetPortTimeOuts)(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved);
    BOOL (*pfnXcvOpenPort)(HANDLE hMonitor, LPCWSTR pszObject, ACCESS_MASK GrantedAccess, PHANDLE phXcv);
    DWORD (*pfnXcvDataPort)(HANDLE hXcv, LPCWSTR pszDataName, PBYTE pInputData, DWORD cbInputData,
                            PBYTE pOutputData, DWORD cbOutputData, PDWORD pcbOutputNeeded);
    BOOL (*pfnXcvClosePort)(HANDLE hXcv);
    void (*pfnShutdown)(HANDLE hMonitor);
} MONITOR2, *LPMONITOR2, *PMONITOR2;

// What the spooler hands a monitor module at initialisation.
typedef struct _MONITORINIT {
    DWORD cbSize;
    HANDLE hSpooler;
    void* hckRegistryRoot;
    void* pMonitorReg;
    BOOL bLocal;
    LPCWSTR pszServerName;
} MONITORINIT, *PMONITORINIT;

// Entry a monitor module exports; returns its table and a monitor handle.
typedef LPMONITOR2 (*PFN_InitializePrintMonitor2)(PMONITORINIT init, PHANDLE monitor);

// Port-driver control codes (the platform's CTL_CODE values).
#define QOR_CTL_CODE(type, function, method, access) (((type) << 16) | ((access) << 14) | ((function) << 2) | (method))
#define FILE_DEVICE_PARALLEL_PORT 0x00000016
#define FILE_DEVICE_SERIAL_PORT 0x0000001b
#define METHOD_BUFFERED 0
#define FILE_ANY_ACCESS 0
#define IOCTL_PAR_QUERY_DEVICE_ID QOR_CTL_CODE(FILE_DEVICE_PARALLEL_PORT, 3, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_PAR_QUERY_RAW_DEVICE_ID QOR_CTL_CODE(FILE_DEVICE_PARALLEL_PORT, 12, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_IEEE1284_GET_MODE QOR_CTL_CODE(FILE_DEVICE_PARALLEL_PORT, 5, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_IEEE1284_NEGOTIATE QOR_CTL_CODE(FILE_DEVICE_PARALLEL_PORT, 6, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_SERIAL_SET_BREAK_ON QOR_CTL_CODE(FILE_DEVICE_SERIAL_PORT, 4, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_SERIAL_SET_BREAK_OFF QOR_CTL_CODE(FILE_DEVICE_SERIAL_PORT, 5, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_SERIAL_GET_MODEMSTATUS QOR_CTL_CODE(FILE_DEVICE_SERIAL_PORT, 26, METHOD_BUFFERED, FILE_ANY_ACCESS)

// Modem status bits.
#define MS_CTS_ON 0x0010
#define MS_DSR_ON 0x0020
#define MS_RING_ON 0x0040
#define MS_RLSD_ON 0x0080

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(COMMTIMEOUTS) == 20);
static_assert(offsetof(MONITOR2, pfnEnumPorts) == sizeof(void*));
static_assert(offsetof(MONITOR2, pfnShutdown) == sizeof(void*) * 18);
static_assert(sizeof(MONITOR2) == sizeof(void*) * 19);
#endif
