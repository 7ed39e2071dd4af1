// The layout check a sheet runs before it applies: page mode needs the
// page in the printer's memory, and device fonts in landscape need page
// mode. Each refusal is a question the user may answer to fix the layout.
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"

enum class LayoutQuestion : UINT {
    None = 0,
    CancelPageMode = 2010,          // page mode on, portrait, page too large
    CancelPageModePortrait = 2011,  // page mode on, landscape, page too large
    UsePageMode = 2014,             // standard mode, landscape, device fonts
};

// Bytes of printer memory a page of `paper` takes in page mode.
DWORD PageModeMemory(const PaperMetrix& paper);

// The question the working record raises, None when it passes. A paper
// code that is in neither table has no area to measure and passes.
LayoutQuestion CheckLayout(const EXDEVMODE& working, const PpdData& ppd);

// What a Yes to `question` changes in the working record.
void AcceptLayoutAnswer(EXDEVMODE* working, LayoutQuestion question);
