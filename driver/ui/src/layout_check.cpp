#include "layout_check.h"

#include "devmode_ops.h"

namespace {

const PaperMetrix* PrintedPaper(const EXDEVMODE& working, const PpdData& ppd) {
    if (working.PaperCode == PAPER_CODE_USER) return &working.UserPaper;
    return FindPaper(ppd.pPaper, ppd.NumPaper, working.PaperCode);
}

}  // namespace

DWORD PageModeMemory(const PaperMetrix& paper) {
    // Metrics come from files and callers: negative ones count as empty,
    // and the sum saturates rather than wraps.
    const unsigned long long width = paper.AreaWidth > 0 ? paper.AreaWidth : 0;
    const unsigned long long length = paper.AreaLength > 0 ? paper.AreaLength : 0;
    const unsigned long long bytes = (width / 8 + 1) * length + (length / 8) * 5 + 71;
    return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(bytes);
}

LayoutQuestion CheckLayout(const EXDEVMODE& working, const PpdData& ppd) {
    const bool landscape = working.dm.dmOrientation == DMORIENT_LANDSCAPE;
    if (working.Mode) {
        const PaperMetrix* paper = PrintedPaper(working, ppd);
        if (!paper || PageModeMemory(*paper) <= ppd.MAXMemory) return LayoutQuestion::None;
        return landscape ? LayoutQuestion::CancelPageModePortrait : LayoutQuestion::CancelPageMode;
    }
    return landscape && working.Font ? LayoutQuestion::UsePageMode : LayoutQuestion::None;
}

void AcceptLayoutAnswer(EXDEVMODE* working, LayoutQuestion question) {
    switch (question) {
    case LayoutQuestion::CancelPageMode: working->Mode = 0; break;
    case LayoutQuestion::CancelPageModePortrait:
        working->Mode = 0;
        working->dm.dmOrientation = DMORIENT_PORTRAIT;
        break;
    case LayoutQuestion::UsePageMode: working->Mode = 1; break;
    case LayoutQuestion::None: break;
    }
}
