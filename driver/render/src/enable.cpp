// The driver's exports: the engine finds everything else through the
// function table DrvEnableDriver hands out.
#include "entries.h"
#include "qor/guard.h"

namespace {

template <class F>
PFN entry(F function) {
    return reinterpret_cast<PFN>(function);
}

const DRVFN kFunctions[] = {
    {INDEX_DrvEnablePDEV, entry(&DrvEnablePDEV)},
    {INDEX_DrvResetPDEV, entry(&DrvResetPDEV)},
    {INDEX_DrvCompletePDEV, entry(&DrvCompletePDEV)},
    {INDEX_DrvDisablePDEV, entry(&DrvDisablePDEV)},
    {INDEX_DrvEnableSurface, entry(&DrvEnableSurface)},
    {INDEX_DrvDisableSurface, entry(&DrvDisableSurface)},
    {INDEX_DrvStartDoc, entry(&DrvStartDoc)},
    {INDEX_DrvStartPage, entry(&DrvStartPage)},
    {INDEX_DrvSendPage, entry(&DrvSendPage)},
    {INDEX_DrvEndDoc, entry(&DrvEndDoc)},
    {INDEX_DrvEscape, entry(&DrvEscape)},
    {INDEX_DrvStartBanding, entry(&DrvStartBanding)},
    {INDEX_DrvNextBand, entry(&DrvNextBand)},
    {INDEX_DrvGetGlyphMode, entry(&DrvGetGlyphMode)},
    {INDEX_DrvTextOut, entry(&DrvTextOut)},
    {INDEX_DrvQueryFont, entry(&DrvQueryFont)},
    {INDEX_DrvQueryFontTree, entry(&DrvQueryFontTree)},
    {INDEX_DrvQueryFontData, entry(&DrvQueryFontData)},
};
static_assert(sizeof(kFunctions) / sizeof(kFunctions[0]) == 18);

}  // namespace

extern "C" {

QORAPI BOOL DrvQueryDriverInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (needed) *needed = sizeof(DWORD);
        if (mode != DRVQUERY_USERMODE) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (!buffer || size < sizeof(DWORD)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        *static_cast<DWORD*>(buffer) = 1;  // a user-mode driver
        return TRUE;
    });
}

QORAPI BOOL DrvEnableDriver(ULONG engine_version, ULONG size, DRVENABLEDATA* data) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        // The table holds a pointer: anything shorter than the whole record is refused.
        if (engine_version < DDI_DRIVER_VERSION_NT5 || size < sizeof(DRVENABLEDATA) || !data) {
            SetLastError(ERROR_BAD_DRIVER_LEVEL);
            return FALSE;
        }
        data->iDriverVersion = DDI_DRIVER_VERSION_NT5;
        data->c = sizeof(kFunctions) / sizeof(kFunctions[0]);
        data->pdrvfn = const_cast<DRVFN*>(kFunctions);
        return TRUE;
    });
}

QORAPI void DrvDisableDriver(void) {}

}  // extern "C"
