// The seven exports of QORCPDN7; the rendering driver binds them by name.
#pragma once

#include "qor/base.h"

QOR_BEGIN_C

// A new job on `printer`; null (ERROR_NOT_ENOUGH_MEMORY) when none can be made.
QORAPI HANDLE WINAPI DrvSplStartDoc(HANDLE printer, DWORD job_id);
// One job-stream record, or the grey page image after a band record.
QORAPI BOOL WINAPI DrvSplWritePrinter(HANDLE job, LPVOID buffer, DWORD length, LPDWORD written);
QORAPI BOOL WINAPI DrvSplStartPage(HANDLE job);
QORAPI BOOL WINAPI DrvSplEndPage(HANDLE job);
QORAPI BOOL WINAPI DrvSplEndDoc(HANDLE job);
// Records the abort; the rendering side stops sending.
QORAPI BOOL WINAPI DrvSplAbort(HANDLE job);
// Frees the job and whatever its page still holds.
QORAPI void WINAPI DrvSplClose(HANDLE job);

QOR_END_C
