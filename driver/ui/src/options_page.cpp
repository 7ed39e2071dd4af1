#include "current_devmode.h"
#include "driver_strings.h"
#include "pages.h"
#include "show_groups.h"

OptionsPageView ShowOptionsPage(const PageData& data) {
    const EXDEVMODE& working = data.working;
    OptionsPageView view;
    view.font_radio = 1301 + working.Font;
    for (WORD value = 0; value < 3; ++value) view.cutters.push_back({DriverString(kStringFullCut + value), value});
    view.cutter = IndexOfValue(view.cutters, working.Cut);
    view.page_mode = working.Mode != 0;
    return view;
}

void RestoreOptionsDefaults(PageData* data, const PpdData& ppd) {
    data->working.Font = ppd.DefFont;
    data->working.Cut = ppd.DefCut;
    data->working.Mode = ppd.DefMode;
}

void ApplyPrinterSettings(PageData* data, DWORD groups) {
    EXDEVMODE& current = data->sheet->current;
    const EXDEVMODE& working = data->working;
    // Without the right to write printer data the record still changes.
    if (groups & kShowFonts) {
        current.Font = working.Font;
        WritePrinterSetting(data->printer, kFontValue, working.Font);
    }
    if (groups & kShowCutter) {
        current.Cut = working.Cut;
        WritePrinterSetting(data->printer, kCutterValue, working.Cut);
    }
    if (groups & kShowPageMode) {
        current.Mode = working.Mode;
        WritePrinterSetting(data->printer, kPageModeValue, working.Mode);
    }
}

void ApplyOptionsPage(PageData* data, const PpdData& ppd) {
    ApplyPrinterSettings(data, ppd.Show & (kShowFonts | kShowCutter | kShowPageMode));
}
