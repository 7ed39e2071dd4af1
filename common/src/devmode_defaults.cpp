// The default device mode built from a parsed description, and the paper
// lookup by code.
#include "common/exdevmode.h"

#include <string.h>

namespace {

// Copies at most cchField - 1 characters and always terminates, so readers
// that treat the names as strings stay inside the field.
void CopyName(WCHAR* szField, size_t cchField, LPCWSTR szName) {
    size_t cch = 0;
    while (cch + 1 < cchField && szName[cch] != 0) {
        szField[cch] = szName[cch];
        cch++;
    }
    szField[cch] = 0;
}

void SetDefaultPublic(EXDEVMODE* devmode, const PpdData* ppd) {
    DEVMODEW& dm = devmode->dm;
    dm.dmSpecVersion = EXDM_SPEC_VERSION;
    dm.dmDriverVersion = EXDM_DRIVER_VERSION;
    dm.dmSize = EXDM_PUBLIC_SIZE;
    dm.dmDriverExtra = EXDM_PRIVATE_SIZE;
    dm.dmFields = EXDM_DEFAULT_FIELDS;
    dm.dmOrientation = ppd->DefOrient;
    dm.dmPaperSize = ppd->DefPaper;
    dm.dmScale = 100;
    dm.dmCopies = 1;
    dm.dmDefaultSource = ppd->DefBin;
    dm.dmPrintQuality = EXDM_RESOLUTION;
    dm.dmColor = DMCOLOR_COLOR;
    dm.dmDuplex = DMDUP_SIMPLEX;
    dm.dmYResolution = EXDM_RESOLUTION;
    dm.dmBitsPerPel = 24;
    dm.dmDitherType = (DWORD)(LONG)ppd->DefDither;
}

}  // namespace

void ExDevModeWriteResolutionBlock(EXDEVMODE* devmode) {
    EXDM_RESOLUTION_BLOCK block;
    memset(&block, 0, sizeof(block));
    block.Signature = EXDM_RESOLUTION_SIGNATURE;
    block.DefaultPaper = (WORD)devmode->dm.dmPaperSize;
    block.XResolution = EXDM_RESOLUTION;
    block.YResolution = EXDM_RESOLUTION;
    devmode->ResolutionBlock = block;
}

void ExDevModeWriteSettingsDefaults(EXDEVMODE* devmode, const PpdData* ppd) {
    devmode->SettingsSignature = EXDM_SETTINGS_SIGNATURE;
    devmode->PrivateSize = EXDM_PRIVATE_SIZE;
    devmode->PrivateSize2 = EXDM_PRIVATE_SIZE;
    devmode->PaperCode = (WORD)ppd->DefPaper;
    devmode->Bin = (WORD)ppd->DefBin;
    devmode->Kind = ppd->DefKind;
    devmode->Density = ppd->DefDensity;
    devmode->Quality = ppd->DefQuality;
    devmode->Bright = ppd->DefBright;
    devmode->Font = ppd->DefFont;
    devmode->Cut = ppd->DefCut;
    devmode->Mode = ppd->DefMode;
    devmode->Resv01 = ppd->DefResv01;
    devmode->Resv02 = ppd->DefResv02;
    devmode->Resv03 = ppd->DefResv03;
    devmode->Resv04 = ppd->DefResv04;
    devmode->Resv05 = ppd->DefResv05;
    devmode->Resv06 = ppd->DefResv06;
    devmode->Resv07 = ppd->DefResv07;
    devmode->Resv08 = ppd->DefResv08;
    devmode->Resv09 = ppd->DefResv09;
    devmode->Resv10 = ppd->DefResv10;
}

void ExDevModeWriteDefaultPapers(EXDEVMODE* devmode, const PpdData* ppd) {
    if (ppd->pPaper && ppd->NumPaper > 0) devmode->CurrentPaper = ppd->pPaper[0];
    if (ppd->pUserDef && ppd->NumUserDef > 0) {
        // An index outside the entries read takes the first preset rather
        // than memory beyond the table.
        WORD wCount = ppd->NumUserDef < PPD_MAX_USERDEF ? ppd->NumUserDef : (WORD)PPD_MAX_USERDEF;
        WORD wIndex = (WORD)ppd->DefUserPaper;
        if (wIndex >= wCount) wIndex = 0;
        devmode->UserPaper = ppd->pUserDef[wIndex];
    }
}

BOOL EngSetDefaultEXDEVMODE(EXDEVMODE* devmode, LPCWSTR device_name, const PpdData* ppd) {
    if (!devmode || !ppd) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    memset(devmode, 0, sizeof(*devmode));
    if (device_name) {
        CopyName(devmode->dm.dmDeviceName, CCHDEVICENAME, device_name);
        CopyName(devmode->PrinterName, sizeof(devmode->PrinterName) / sizeof(WCHAR), device_name);
    }
    SetDefaultPublic(devmode, ppd);
    ExDevModeWriteResolutionBlock(devmode);
    ExDevModeWriteSettingsDefaults(devmode, ppd);
    ExDevModeWriteDefaultPapers(devmode, ppd);
    return TRUE;
}

BOOL CheckPaperMetrix(PaperMetrix* paper, WORD code, const PpdData* ppd) {
    if (!paper || !ppd || !ppd->pPaper) return FALSE;
    WORD wCount = ppd->NumPaper < PPD_MAX_PAPER ? ppd->NumPaper : (WORD)PPD_MAX_PAPER;
    for (WORD i = 0; i < wCount; i++) {
        if (ppd->pPaper[i].Code == code) {
            *paper = ppd->pPaper[i];
            return TRUE;
        }
    }
    return FALSE;
}
