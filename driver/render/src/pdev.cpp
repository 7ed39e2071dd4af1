#include "pdev.h"

#include "glyphset.h"
#include "qor/memory.h"
#include "qor/module.h"

#include <cstdlib>
#include <cstring>

BOOL bValidatePDEV(const PDEV* pdev) {
    return pdev && pdev->signature == PDEV_SIGNATURE && pdev->signature2 == PDEV_SIGNATURE;
}

PDEV* ValidPdev(DHPDEV dhpdev) {
    auto* pdev = static_cast<PDEV*>(dhpdev);
    if (!bValidatePDEV(pdev)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return pdev;
}

PDEV* ValidPdevOfSurface(SURFOBJ* surface) {
    if (!surface) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return ValidPdev(surface->dhpdev);
}

void FreePdevMemory(PDEV* pdev) {
    if (!pdev) return;
    if (pdev->own_module) FreeLibrary(pdev->own_module);
    pdev->own_module = nullptr;
    std::free(pdev->ppd);
    pdev->ppd = nullptr;
    HANDLE heap = pdev->heap;
    pdev->signature = pdev->signature2 = 0;  // a stale pointer no longer validates
    if (heap) HeapDestroy(heap);
}

void ResetTextState(PDEV* pdev) {
    std::memset(pdev->current_font, 0xFF, sizeof(pdev->current_font));
    pdev->transform[0] = 1.0f;
    pdev->transform[1] = 0.0f;
    pdev->transform[2] = 0.0f;
    pdev->transform[3] = 1.0f;
}

void FillMyDevData(PDEV* pdev) {
    pdev->signature = PDEV_SIGNATURE;
    pdev->signature2 = PDEV_SIGNATURE;
    pdev->flags = PF_IDLE;
    pdev->device_fonts_on = 1;
    ResetTextState(pdev);
}

BOOL IsDoubleByteCharset(BYTE charset) {
    return charset == EXDM_CHARSET_SHIFTJIS || charset == EXDM_CHARSET_HANGEUL ||
           charset == EXDM_CHARSET_CHINESEBIG5;
}

BOOL IsLandscape(const PDEV* pdev) { return pdev->devmode.dm.dmOrientation == DMORIENT_LANDSCAPE; }
