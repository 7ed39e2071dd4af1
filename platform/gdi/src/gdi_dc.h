// Device contexts: the application's handle on a printer device, its
// selected objects, text state, document state and the page being recorded.
#pragma once

#include "gdi_font.h"
#include "qor/guard.h"
#include "gdi_page.h"
#include "qor/gdi_canvas.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qor::gdi {

struct Brush final : Object {
    static constexpr Kind kKind = Kind::Brush;
    Kind kind() const override { return kKind; }
    bool hollow = false;
    ULONG color = 0;  // band pixel
};

struct Pen final : Object {
    static constexpr Kind kKind = Kind::Pen;
    Kind kind() const override { return kKind; }
    bool hollow = false;
    LONG width = 1;
    ULONG color = 0;
};

struct Dc final : Object {
    static constexpr Kind kKind = Kind::Dc;
    Kind kind() const override { return kKind; }

    std::recursive_mutex lock;  // one call at a time per device context
    std::shared_ptr<Device> device;  // null for a canvas context
    std::shared_ptr<Canvas> canvas;  // set for a canvas context
    std::u16string driver_path;
    std::u16string device_name;
    HANDLE printer = nullptr;  // null when the driver runs without the spooler
    std::vector<uint8_t> devmode;

    HGDIOBJ font = nullptr, brush = nullptr, pen = nullptr;
    std::shared_ptr<RealizedFont> realized;  // for `font`, until it changes
    HGDIOBJ realized_for = nullptr;
    COLORREF text_color = RGB(0, 0, 0);
    COLORREF bk_color = RGB(255, 255, 255);
    int bk_mode = OPAQUE;
    UINT text_align = TA_LEFT | TA_TOP;
    POINT position{0, 0};

    ABORTPROC abort_proc = nullptr;
    bool doc_started = false;
    bool page_open = false;
    DWORD job_id = 0;
    std::u16string doc_name;
    bool spooler_job = false;  // job_id came from StartDocPrinterW
    Page page;
};

// The device context behind a handle (last error ERROR_INVALID_HANDLE).
std::shared_ptr<Dc> dc_of(HDC hdc);

// Runs `action` on the device context behind `hdc`, holding its lock;
// `failure` when the handle is not a device context.
template <class R, class Action>
R with_dc(HDC hdc, R failure, Action&& action) {
    auto dc = dc_of(hdc);
    if (!dc) return failure;
    std::lock_guard<std::recursive_mutex> guard(dc->lock);
    return qor::guarded(failure, [&] { return action(*dc); });
}

// `failure` with ERROR_INVALID_PARAMETER, for a call made in the wrong state.
template <class R>
R refuse(R failure) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return failure;
}

// The font selected into the DC, realised on its device (the device's
// default font when none is selected). Null when no font can be found.
std::shared_ptr<RealizedFont> current_font(Dc& dc);

// Stock objects on first use.
void ensure_stock_objects();

}  // namespace qor::gdi
