#include "pages.h"
#include "show_groups.h"

GraphicsPageView ShowGraphicsPage(const PageData& data, const PpdData& ppd) {
    const EXDEVMODE& working = data.working;
    GraphicsPageView view;
    view.dithering_radio = 1100 + static_cast<int>(working.dm.dmDitherType);
    view.quality_radio = working.Quality ? 1107 : 1106;
    view.intensity = working.Bright;
    view.intensity_min = ppd.MINBright, view.intensity_max = ppd.MAXBright, view.intensity_step = ppd.VALBright;
    view.density = working.Density;
    view.density_min = ppd.MINDensity, view.density_max = ppd.MAXDensity, view.density_step = ppd.VALDensity;
    return view;
}

void RestoreGraphicsDefaults(PageData* data, const PpdData& ppd) {
    EXDEVMODE& working = data->working;
    working.dm.dmDitherType = static_cast<DWORD>(static_cast<LONG>(ppd.DefDither));
    working.Quality = ppd.DefQuality;
    working.Bright = ppd.DefBright;
    working.Density = ppd.DefDensity;
}

void ApplyGraphicsPage(PageData* data, bool speed_checked, int intensity, int density, const PpdData& ppd) {
    const DWORD show = ppd.Show;
    EXDEVMODE& current = data->sheet->current;
    if (show & kShowDithering) current.dm.dmDitherType = data->working.dm.dmDitherType;
    if (show & kShowQuality) current.Quality = speed_checked ? 0 : 1;
    if (show & kShowIntensity) current.Bright = static_cast<BYTE>(intensity);
    if (show & kShowDensity) current.Density = static_cast<BYTE>(density);
}
