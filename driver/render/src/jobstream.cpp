#include "jobstream.h"

#include <cstring>

BOOL UMPDSplWritePrinter(PDEV* pdev, LPVOID buffer, DWORD length, LPDWORD written) {
    if (pdev->spl.write_printer) return pdev->spl.write_printer(pdev->spl.job, buffer, length, written);
    if (written) *written = length;
    return TRUE;
}

void ResetStaging(STAGING* staging) {
    staging->capacity = STAGING_CAPACITY;
    staging->write = staging->data;
    staging->count = 0;
}

namespace {

BOOL write_staged(PDEV* pdev, DWORD length, DWORD* written) {
    DWORD done = 0;
    BOOL ok = UMPDSplWritePrinter(pdev, pdev->staging.data, length, &done);
    if (ok) *written = length;
    return ok && done == length;
}

}  // namespace

BOOL FlushStaging(PDEV* pdev) {
    BOOL ok = TRUE;
    if (pdev->staging.count && !(pdev->flags & PF_OUTPUT_FAILED)) {
        DWORD written = 0;
        if (!write_staged(pdev, pdev->staging.count, &written)) {
            pdev->flags |= PF_OUTPUT_FAILED;
            ok = FALSE;
        }
    }
    ResetStaging(&pdev->staging);
    return ok;
}

BOOL WriteRecord(PDEV* pdev, WORD type, const void* payload, DWORD length) {
    if (length > RECORD_MAX_PAYLOAD) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RecordHeader header{type, 0, length};
    ResetStaging(&pdev->staging);
    std::memcpy(pdev->staging.data, &header, sizeof(header));
    if (length) std::memcpy(pdev->staging.data + sizeof(header), payload, length);
    pdev->staging.count = sizeof(header) + length;
    pdev->staging.write = pdev->staging.data + pdev->staging.count;
    return FlushStaging(pdev);
}

BOOL SendBitmapHdr(PDEV* pdev) {
    FlushStaging(pdev);
    WriteRecord(pdev, JOB_RECORD_DEVMODE, &pdev->devmode, sizeof(pdev->devmode));
    return TRUE;
}
