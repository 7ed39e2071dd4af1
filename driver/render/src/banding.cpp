// Document, page and band entry points: the job stream of typed records.
#include "entries.h"

#include "grey.h"
#include "jobstream.h"
#include "splbinding.h"

BOOL DrvStartDoc(SURFOBJ* surface, LPWSTR, DWORD job_id) {
    PDEV* pdev = ValidPdevOfSurface(surface);
    if (!pdev) return FALSE;
    pdev->flags |= PF_DOC_STARTED;
    BOOL result = TRUE;
    if (!(pdev->flags & PF_DOC_CONTINUES)) {
        pdev->job_id = job_id;
        result = FALSE;
        if (LoadSplModule(pdev) && pdev->spl.start_doc) {
            pdev->spl.job = pdev->spl.start_doc(pdev->printer, job_id);
            result = pdev->spl.job != nullptr;
        }
        // Nothing stays loaded for a document that did not start.
        if (!result) {
            UnloadSplModule(pdev);
            if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_MOD_NOT_FOUND);
        }
    }
    pdev->flags &= ~0x1000u;
    return result;
}

BOOL DrvStartPage(SURFOBJ* surface) {
    PDEV* pdev = ValidPdevOfSurface(surface);
    if (!pdev) return FALSE;
    if (pdev->flags & PF_OUTPUT_FAILED) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    if (pdev->flags & PF_PAGE_OPEN) WriteRecord(pdev, JOB_RECORD_END_PAGE, nullptr, 0);
    SendBitmapHdr(pdev);
    pdev->flags |= PF_PAGE_OPEN;
    pdev->flags &= ~PF_DOC_CONTINUES;
    pdev->page_length = static_cast<DWORD>(pdev->current_paper->AreaLength);
    // A page whose device mode record was refused cannot be printed.
    if (pdev->flags & PF_OUTPUT_FAILED) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

BOOL DrvSendPage(SURFOBJ* surface) {
    PDEV* pdev = ValidPdevOfSurface(surface);
    if (!pdev) return FALSE;
    pdev->flags &= ~(PF_PAGE_OPEN | 0x1000u);
    pdev->flags |= PF_PAGE_SENT;
    return TRUE;
}

BOOL DrvEndDoc(SURFOBJ* surface, FLONG) {
    PDEV* pdev = ValidPdevOfSurface(surface);
    if (!pdev) return FALSE;
    WriteRecord(pdev, JOB_RECORD_END_PAGE, nullptr, 0);
    ResetTextState(pdev);
    // The page-open flag goes too: a second document must not begin with a
    // stray end-of-page record.
    pdev->flags &= ~(0x1u | PF_DOC_STARTED | PF_DOC_CONTINUES | PF_PAGE_SENT | PF_PAGE_OPEN | 0x200u | 0x800u |
                     0x1000u);
    pdev->flags |= PF_IDLE;
    if (pdev->spl.end_doc) pdev->spl.end_doc(pdev->spl.job);
    if (pdev->spl.close) pdev->spl.close(pdev->spl.job);
    UnloadSplModule(pdev);
    if (pdev->flags & PF_OUTPUT_FAILED) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

BOOL DrvStartBanding(SURFOBJ* surface, POINTL* origin) {
    PDEV* pdev = ValidPdevOfSurface(surface);
    if (!pdev || !origin || !pdev->surface_bits) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pdev->band_counter = 1;
    pdev->band_y = 0;
    pdev->band_total = 0;
    origin->x = 0;
    origin->y = 0;
    ClearBandBuffer(pdev->surface_bits, pdev->surface_size);
    return TRUE;
}

BOOL DrvNextBand(SURFOBJ* surface, POINTL* origin) {
    PDEV* pdev = ValidPdevOfSurface(surface);
    if (!pdev || !origin || !pdev->surface_bits) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (EngCheckAbort(surface)) return FALSE;
    // Rebuilt from this device's Bright for every page, so devices never share it.
    BYTE table[256];
    BuildBrightnessTable(pdev->devmode.Bright, table);
    ConvertBandToGrey(pdev->surface_bits, pdev->surface_width, pdev->surface_height, table);
    WriteRecord(pdev, JOB_RECORD_BAND, nullptr, 0);
    if (!(pdev->flags & PF_OUTPUT_FAILED)) {
        DWORD size = GreyStride(pdev->surface_width) * pdev->surface_height;
        DWORD written = 0;
        if (!UMPDSplWritePrinter(pdev, pdev->surface_bits, size, &written) || written != size)
            pdev->flags |= PF_OUTPUT_FAILED;
    }
    ClearBandBuffer(pdev->surface_bits, pdev->surface_size);
    ++pdev->band_counter;
    origin->x = -1;
    origin->y = -1;
    if (pdev->flags & PF_OUTPUT_FAILED) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return EngCheckAbort(surface) ? FALSE : TRUE;
}
