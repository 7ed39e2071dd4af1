// Acceptance of a caller's device mode at device set-up: the device's own
// copy, with the paper settled against the description.
//
// The caller's record is outside input. It is read only as far as its own
// dmSize + dmDriverExtra say it reaches, and its private part is used only
// when it has exactly the EXDEVMODE layout behind a 220-byte public part.
#include "common/exdevmode.h"

#include <string.h>

namespace {

// Largest public-part prefix holding dmPaperSize.
constexpr WORD kPaperSizeEnd = offsetof(DEVMODEW, u1) + 2 * sizeof(SHORT);

WORD GetPrivateWord(const DEVMODEW* devmode, size_t offset) {
    WORD value;
    memcpy(&value, (const BYTE*)devmode + offset, sizeof(value));
    return value;
}

void SetPrivateWord(DEVMODEW* devmode, size_t offset, WORD value) {
    memcpy((BYTE*)devmode + offset, &value, sizeof(value));
}

void TerminatePaperName(PaperMetrix* paper) {
    paper->Name[PAPER_NAME_CHARS - 1] = 0;
}

// Rule order: the caller's dmPaperSize, its PaperCode, the user-defined
// paper, the fallback paper. Afterwards dmPaperSize, PaperCode and
// CurrentPaper.Code agree.
void SettlePaper(EXDEVMODE* device, const PpdData* ppd) {
    WORD wPaperSize = (WORD)device->dm.dmPaperSize;
    WORD wPaperCode = device->PaperCode;
    PaperMetrix paper;
    WORD wFinal;
    if (CheckPaperMetrix(&paper, wPaperSize, ppd)) {
        device->CurrentPaper = paper;
        wFinal = wPaperSize;
    } else if (CheckPaperMetrix(&paper, wPaperCode, ppd)) {
        device->CurrentPaper = paper;
        wFinal = wPaperCode;
    } else if (wPaperSize == PAPER_CODE_USER || wPaperCode == PAPER_CODE_USER) {
        device->CurrentPaper = device->UserPaper;
        wFinal = PAPER_CODE_USER;
    } else {
        // Without a fallback entry the caller's metrics stay, relabelled.
        if (CheckPaperMetrix(&paper, PAPER_CODE_FALLBACK, ppd)) device->CurrentPaper = paper;
        wFinal = PAPER_CODE_FALLBACK;
    }
    device->CurrentPaper.Code = wFinal;
    device->PaperCode = wFinal;
    device->dm.dmPaperSize = (SHORT)wFinal;
}

// Device-font text in landscape is only drawn in page mode.
void ForcePageModeForLandscapeFonts(EXDEVMODE* device) {
    if (device->dm.dmOrientation == DMORIENT_LANDSCAPE && device->Font != 0 && device->Mode == 0)
        device->Mode = 1;
}

}  // namespace

BOOL HasExDevModePrivatePart(const DEVMODEW* devmode) {
    return devmode && devmode->dmSize == EXDM_PUBLIC_SIZE &&
           devmode->dmDriverExtra >= EXDM_PRIVATE_SIZE;
}

BOOL AcceptExDevMode(EXDEVMODE* device, DEVMODEW* caller, LPCWSTR device_name,
                        const PpdData* ppd) {
    if (!device || !caller || !ppd) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BOOL bPrivate = HasExDevModePrivatePart(caller);
    if (bPrivate &&
        GetPrivateWord(caller, offsetof(EXDEVMODE, SettingsSignature)) == EXDM_SETTINGS_SIGNATURE) {
        memcpy(device, caller, sizeof(*device));
        // The copy holds exactly the private part this driver knows.
        device->dm.dmDriverExtra = EXDM_PRIVATE_SIZE;
        TerminatePaperName(&device->CurrentPaper);
        TerminatePaperName(&device->UserPaper);
        if (device->dm.dmFields & DM_PAPERSIZE) SettlePaper(device, ppd);
    } else {
        EngSetDefaultEXDEVMODE(device, device_name, ppd);
    }
    ForcePageModeForLandscapeFonts(device);

    if (caller->dmSize >= kPaperSizeEnd) caller->dmPaperSize = (SHORT)device->CurrentPaper.Code;
    if (bPrivate) SetPrivateWord(caller, offsetof(EXDEVMODE, PaperCode), device->CurrentPaper.Code);
    return TRUE;
}

WORD ExDevModeCodePage(const DEVMODEW* devmode) {
    return HasExDevModePrivatePart(devmode) ? GetPrivateWord(devmode, offsetof(EXDEVMODE, CodePage)) : 0;
}

BYTE CharSetFromCodePage(WORD code_page) {
    switch (code_page) {
    case 932: return EXDM_CHARSET_SHIFTJIS;
    case 949: return EXDM_CHARSET_HANGEUL;
    case 950: return EXDM_CHARSET_CHINESEBIG5;
    default: return EXDM_CHARSET_ANSI;
    }
}
