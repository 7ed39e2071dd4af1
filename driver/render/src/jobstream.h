// The job stream towards the spooler-side module: typed records assembled
// in the device's staging buffer and written one record per call.
#pragma once

#include "common/jobstream.h"
#include "pdev.h"

#define RECORD_MAX_PAYLOAD (STAGING_CAPACITY - sizeof(RecordHeader))

// Writes through the bound DrvSplWritePrinter; without one, reports success.
BOOL UMPDSplWritePrinter(PDEV* pdev, LPVOID buffer, DWORD length, LPDWORD written);
void ResetStaging(STAGING* staging);
// Writes the staged bytes unless output has failed; a failed or short write
// sets PF_OUTPUT_FAILED. The buffer is emptied in any case.
BOOL FlushStaging(PDEV* pdev);
// Stages and writes one record with `length` payload bytes.
BOOL WriteRecord(PDEV* pdev, WORD type, const void* payload, DWORD length);
// Staging flush, then the device mode record.
BOOL SendBitmapHdr(PDEV* pdev);
