// The pages' decisions without their windows: what each control shows,
// what a change does to the working record and what apply copies into the
// sheet's current record (and, for printer-wide settings, printer data).
#pragma once

#include "sheet_state.h"

#include <string>
#include <vector>

struct ListEntry {
    std::u16string name;
    WORD value;
};

// Index of the entry holding `value`, -1 for none.
int IndexOfValue(const std::vector<ListEntry>& list, WORD value);

// Paper page.
struct PaperPageView {
    std::vector<ListEntry> papers, kinds, sources;  // empty when not shown
    int paper = -1, kind = -1, source = -1;
    bool landscape = false;
};
PaperPageView ShowPaperPage(const PageData& data, const PpdData& ppd);
// A paper chosen from the list; true when it is the custom paper, whose
// box must then be asked.
bool ChoosePaper(PageData* data, WORD code);
// The custom paper box closed with OK (its UserPaper is in the working record).
void TakeCustomPaper(PageData* data);
// The list entry to select again after the box was cancelled.
int PaperAfterCancel(const PaperPageView& view, const PageData& data);
void RestorePaperDefaults(PageData* data, const PpdData& ppd);
// Apply; `kind` and `source` are the lists' current item values.
void ApplyPaperPage(PageData* data, WORD kind, WORD source, const PpdData& ppd);

// Graphics page.
struct GraphicsPageView {
    int dithering_radio = 0;  // 1101..1105
    int quality_radio = 0;    // 1106 speed, 1107 quality
    int intensity = 0, intensity_min = 0, intensity_max = 0, intensity_step = 0;
    int density = 0, density_min = 0, density_max = 0, density_step = 0;
};
GraphicsPageView ShowGraphicsPage(const PageData& data, const PpdData& ppd);
void RestoreGraphicsDefaults(PageData* data, const PpdData& ppd);
void ApplyGraphicsPage(PageData* data, bool speed_checked, int intensity, int density, const PpdData& ppd);

// Options page: fonts radio 1301 + Font, cutter entries 0..2, page mode.
struct OptionsPageView {
    int font_radio = 0;
    std::vector<ListEntry> cutters;
    int cutter = -1;
    bool page_mode = false;
};
OptionsPageView ShowOptionsPage(const PageData& data);
void RestoreOptionsDefaults(PageData* data, const PpdData& ppd);
void ApplyOptionsPage(PageData* data, const PpdData& ppd);
// Copies the working Font, Cut and Mode of the given Show groups into the
// current record and the printer data.
void ApplyPrinterSettings(PageData* data, DWORD groups);
