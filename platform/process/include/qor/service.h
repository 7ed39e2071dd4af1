// The service control manager. Service records live in the machine registry
// (HKLM\SYSTEM\CurrentControlSet\Services\<name>). A started service runs as
// its own process under a small supervisor (qorsvchost, next to the
// platform library or named by QOR_SVCHOST) that reports it stopped when it
// ends, however it ends. Its state is shared through named objects of the
// user's namespace, so every process of the user sees it.
#pragma once

#include "qor/kernel.h"

QOR_BEGIN_C

typedef struct SC_HANDLE__* SC_HANDLE;
typedef SC_HANDLE* LPSC_HANDLE;
typedef struct SERVICE_STATUS_HANDLE__* SERVICE_STATUS_HANDLE;

typedef struct _SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
} SERVICE_STATUS, *LPSERVICE_STATUS;

typedef void (*LPSERVICE_MAIN_FUNCTIONA)(DWORD argc, LPSTR* argv);
typedef void (*LPHANDLER_FUNCTION)(DWORD control);

typedef struct _SERVICE_TABLE_ENTRYA {
    LPSTR lpServiceName;
    LPSERVICE_MAIN_FUNCTIONA lpServiceProc;
} SERVICE_TABLE_ENTRYA, *LPSERVICE_TABLE_ENTRYA;

#define SC_MANAGER_CONNECT 0x0001
#define SC_MANAGER_CREATE_SERVICE 0x0002
#define SC_MANAGER_ALL_ACCESS 0xF003F
#define SERVICE_QUERY_STATUS 0x0004
#define SERVICE_START 0x0010
#define SERVICE_STOP 0x0020
#define SERVICE_ALL_ACCESS 0xF01FF

#define SERVICE_WIN32_OWN_PROCESS 0x00000010
#define SERVICE_AUTO_START 0x00000002
#define SERVICE_DEMAND_START 0x00000003
#define SERVICE_ERROR_NORMAL 0x00000001

#define SERVICE_STOPPED 0x00000001
#define SERVICE_START_PENDING 0x00000002
#define SERVICE_STOP_PENDING 0x00000003
#define SERVICE_RUNNING 0x00000004

#define SERVICE_CONTROL_STOP 0x00000001
#define SERVICE_CONTROL_INTERROGATE 0x00000004
#define SERVICE_ACCEPT_STOP 0x00000001

#define ERROR_PROCESS_ABORTED 1067L
#define ERROR_SERVICE_REQUEST_TIMEOUT 1053L
#define ERROR_SERVICE_ALREADY_RUNNING 1056L
#define ERROR_SERVICE_DOES_NOT_EXIST 1060L
#define ERROR_SERVICE_CANNOT_ACCEPT_CTRL 1061L
#define ERROR_SERVICE_NOT_ACTIVE 1062L
#define ERROR_FAILED_SERVICE_CONTROLLER_CONNECT 1063L
#define ERROR_SERVICE_EXISTS 1073L
#define ERROR_INVALID_SERVICE_CONTROL 1052L
#ifndef ERROR_INVALID_NAME
#define ERROR_INVALID_NAME 123L
#endif

QORAPI SC_HANDLE OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access);
QORAPI SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR display_name, DWORD access, DWORD type,
                                DWORD start_type, DWORD error_control, LPCSTR binary_path, LPCSTR load_order_group,
                                LPDWORD tag, LPCSTR dependencies, LPCSTR account, LPCSTR password);
QORAPI SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access);
QORAPI BOOL StartServiceA(SC_HANDLE service, DWORD argc, LPCSTR* argv);
QORAPI BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
QORAPI BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status);
QORAPI BOOL DeleteService(SC_HANDLE service);
QORAPI BOOL CloseServiceHandle(SC_HANDLE handle);

// The service side: the dispatcher runs the service's main function on a
// thread of its own and delivers control requests to its handler, returning
// once the service has reported itself stopped.
QORAPI BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA* table);
QORAPI SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR name, LPHANDLER_FUNCTION handler);
QORAPI BOOL SetServiceStatus(SERVICE_STATUS_HANDLE handle, LPSERVICE_STATUS status);

QOR_END_C

#ifdef __cplusplus
static_assert(sizeof(SERVICE_STATUS) == 28 && offsetof(SERVICE_STATUS, dwWin32ExitCode) == 12);
static_assert(sizeof(SERVICE_TABLE_ENTRYA) == 16);
#endif
