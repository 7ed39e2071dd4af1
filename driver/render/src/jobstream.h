// The job stream towards the spooler-side module: typed records assembled
// in the device's staging buffer and written one record per call.
#pragma once

#include "pdev.h"

#define RECORD_DEVMODE 1
#define RECORD_END_PAGE 2
#define RECORD_BAND 4
#define RECORD_TEXT 8
#define RECORD_PASSTHROUGH 0xF000
#define RECORD_MAX_PAYLOAD (STAGING_CAPACITY - 8)

#pragma pack(push, 1)
typedef struct _RecordHeader {
    WORD type;
    WORD reserved;
    DWORD length;  // payload bytes
} RecordHeader;
#pragma pack(pop)

static_assert(sizeof(RecordHeader) == 8);
static_assert(offsetof(RecordHeader, reserved) == 2);
static_assert(offsetof(RecordHeader, length) == 4);

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
