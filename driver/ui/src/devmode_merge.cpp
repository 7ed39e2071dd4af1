#include "devmode_ops.h"

#include <algorithm>
#include <cstring>

namespace {

// mm of a paper as the tenths of a millimetre the public part holds; paper
// metrics come from files and callers, so they are clamped, never wrapped.
SHORT Tenths(LONG mm) {
    const long long tenths = static_cast<long long>(mm) * 10;
    return static_cast<SHORT>(std::clamp<long long>(tenths, 0, 0x7FFF));
}

void MergePaper(EXDEVMODE* current, const EXDEVMODE& scratch, const PpdData& ppd) {
    const DWORD fields = scratch.dm.dmFields;
    DEVMODEW& dm = current->dm;
    if (fields & DM_PAPERSIZE) {
        const WORD asked = static_cast<WORD>(scratch.dm.dmPaperSize);
        if (asked == PAPER_CODE_USER) {
            dm.dmPaperSize = PAPER_CODE_USER;
            dm.dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
        } else if (FindPaper(ppd.pPaper, ppd.NumPaper, asked)) {
            dm.dmPaperSize = static_cast<SHORT>(asked);
        } else if (FindPaper(ppd.pPaper, ppd.NumPaper, scratch.PaperCode)) {
            dm.dmPaperSize = static_cast<SHORT>(scratch.PaperCode);
        }
        if (asked != PAPER_CODE_USER) dm.dmFields &= ~DWORD(DM_PAPERLENGTH | DM_PAPERWIDTH);
        dm.dmFields &= ~DWORD(DM_FORMNAME);
        dm.dmFields |= DM_PAPERSIZE;
    } else if ((fields & DM_PAPERLENGTH) && (fields & DM_PAPERWIDTH)) {
        dm.dmPaperSize = PAPER_CODE_USER;
        dm.dmPaperLength = scratch.dm.dmPaperLength;
        dm.dmPaperWidth = scratch.dm.dmPaperWidth;
        dm.dmFields &= ~DWORD(DM_PAPERSIZE | DM_FORMNAME);
        dm.dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
    }
}

void MergePublic(EXDEVMODE* current, const EXDEVMODE& scratch, const PpdData& ppd) {
    const DWORD fields = scratch.dm.dmFields;
    DEVMODEW& dm = current->dm;
    if (fields & DM_DEFAULTSOURCE) {
        dm.dmDefaultSource = scratch.dm.dmDefaultSource;
        dm.dmFields |= DM_DEFAULTSOURCE;
    }
    if (fields & DM_ORIENTATION) {
        const SHORT orientation = scratch.dm.dmOrientation;
        dm.dmOrientation = orientation == DMORIENT_LANDSCAPE ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        dm.dmFields |= DM_ORIENTATION;
    }
    MergePaper(current, scratch, ppd);
    // The driver prints one copy; the application repeats the pages itself.
    dm.dmCopies = 1;
    if (fields & DM_PRINTQUALITY) {
        dm.dmPrintQuality = scratch.dm.dmPrintQuality;
        dm.dmFields |= DM_PRINTQUALITY;
    }
    if (fields & DM_YRESOLUTION) {
        dm.dmYResolution = scratch.dm.dmYResolution;
        dm.dmFields |= DM_YRESOLUTION;
    }
    if (fields & DM_DITHERTYPE) {
        const DWORD dither = scratch.dm.dmDitherType;
        dm.dmDitherType = dither >= 1 && dither <= 5 ? dither : static_cast<DWORD>(static_cast<LONG>(ppd.DefDither));
        dm.dmFields |= DM_DITHERTYPE;
    }
}

void MergePrivate(EXDEVMODE* current, const EXDEVMODE& scratch, const PpdData& ppd) {
    if (scratch.ResolutionBlock.Signature == EXDM_RESOLUTION_SIGNATURE) {
        current->ResolutionBlock = scratch.ResolutionBlock;
        current->ResolutionBlock.DefaultPaper = static_cast<WORD>(scratch.dm.dmPaperSize);
        current->ResolutionBlock.XResolution = EXDM_RESOLUTION;
        current->ResolutionBlock.YResolution = EXDM_RESOLUTION;
    }
    if (scratch.SettingsSignature != EXDM_SETTINGS_SIGNATURE) return;
    std::memcpy(reinterpret_cast<BYTE*>(current) + EXDM_SETTINGS_OFFSET,
                reinterpret_cast<const BYTE*>(&scratch) + EXDM_SETTINGS_OFFSET, EXDM_SETTINGS_SIZE);
    current->Bin = static_cast<WORD>(current->dm.dmDefaultSource);

    const WORD code = static_cast<WORD>(current->dm.dmPaperSize);
    if (code == PAPER_CODE_USER || FindPaper(ppd.pPaper, ppd.NumPaper, code)) current->PaperCode = code;
    if (const PaperMetrix* paper = FindPaper(ppd.pPaper, ppd.NumPaper, current->PaperCode))
        current->CurrentPaper = *paper;
    else if (ppd.NumPaper && ppd.pPaper)
        current->CurrentPaper = ppd.pPaper[0];
    current->dm.dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
    SetPaperExtent(current, current->PaperCode == PAPER_CODE_USER ? current->UserPaper : current->CurrentPaper);
}

}  // namespace

const PaperMetrix* FindPaper(const PaperMetrix* table, WORD count, WORD code) {
    if (!table) return nullptr;
    for (WORD i = 0; i < count; ++i)
        if (table[i].Code == code) return &table[i];
    return nullptr;
}

void SetPaperExtent(EXDEVMODE* record, const PaperMetrix& paper) {
    const SHORT length = Tenths(paper.PaperLength), width = Tenths(paper.PaperWidth);
    const bool portrait = record->dm.dmOrientation == DMORIENT_PORTRAIT;
    record->dm.dmPaperLength = portrait ? length : width;
    record->dm.dmPaperWidth = portrait ? width : length;
}

BOOL MergeDevMode(EXDEVMODE* current, const DEVMODEW* caller, const PpdData& ppd) {
    if (!current) return FALSE;
    if (!caller) return TRUE;
    EXDEVMODE scratch = *current;
    if (!CopyDevMode(caller, &scratch.dm)) return FALSE;
    MergePublic(current, scratch, ppd);
    if (scratch.dm.dmDriverExtra) MergePrivate(current, scratch, ppd);
    return TRUE;
}
