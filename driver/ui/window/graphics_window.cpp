// The Graphics page: dithering, printing quality, intensity and density.
#include "pages.h"
#include "resource.h"
#include "sheet_window.h"
#include "show_groups.h"

#include "qor/ui/windows.h"

#ifndef TBM_SETLINESIZE
#define TBM_SETLINESIZE (WM_USER + 23)
#endif

namespace {

constexpr int kSlot = 1;

void ShowSlider(HWND page, int id, int low, int high, int step, int position, bool ticks) {
    SendDlgItemMessageW(page, id, TBM_SETRANGE, TRUE, MAKELONG(low, high));
    SendDlgItemMessageW(page, id, TBM_SETPAGESIZE, 0, step);
    if (ticks) {
        SendDlgItemMessageW(page, id, TBM_SETLINESIZE, 0, step);
        SendDlgItemMessageW(page, id, TBM_SETTICFREQ, static_cast<WPARAM>(step), 0);
    }
    SendDlgItemMessageW(page, id, TBM_SETPOS, TRUE, position);
}

void ShowAll(HWND page, SheetPages& pages) {
    const GraphicsPageView view = ShowGraphicsPage(pages.data, PpdOf(pages));
    CheckRadioButton(page, IDC_DITHER_NONE, IDC_DITHER_DIFFUSION, view.dithering_radio);
    CheckRadioButton(page, IDC_SPEED_PRIORITY, IDC_QUALITY_PRIORITY, view.quality_radio);
    ShowSlider(page, IDC_INTENSITY, view.intensity_min, view.intensity_max, view.intensity_step, view.intensity, true);
    ShowSlider(page, IDC_DENSITY, view.density_min, view.density_max, view.density_step, view.density, false);
}

void Command(HWND page, SheetPages& pages, int id, int code) {
    if (code != BN_CLICKED) return;
    if (id >= IDC_DITHER_NONE && id <= IDC_DITHER_DIFFUSION)
        pages.data.working.dm.dmDitherType = static_cast<DWORD>(id - 1100);
    else if (id == IDC_SPEED_PRIORITY || id == IDC_QUALITY_PRIORITY)
        pages.data.working.Quality = id == IDC_SPEED_PRIORITY ? 0 : 1;
    else if (id == IDC_GRAPHICS_DEFAULTS) {
        RestoreGraphicsDefaults(&pages.data, PpdOf(pages));
        ShowAll(page, pages);
    } else {
        return;
    }
    MarkChanged(page, kSlot);
}

void Apply(HWND page, SheetPages& pages) {
    const bool speed = IsDlgButtonChecked(page, IDC_SPEED_PRIORITY) == BST_CHECKED;
    const int intensity = static_cast<int>(SendDlgItemMessageW(page, IDC_INTENSITY, TBM_GETPOS, 0, 0));
    const int density = static_cast<int>(SendDlgItemMessageW(page, IDC_DENSITY, TBM_GETPOS, 0, 0));
    ApplyGraphicsPage(&pages.data, speed, intensity, density, PpdOf(pages));
}

}  // namespace

INT_PTR GraphicsPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    static constexpr PageBehaviour kBehaviour{kSlot, kGraphicsPage, ShowAll, Command, nullptr, Apply};
    return RunPage(kBehaviour, page, message, wparam, lparam);
}
