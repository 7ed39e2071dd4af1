// Fonts, brushes and pens of the application face, and font enumeration.
#include "gdi_dc.h"
#include "qor/guard.h"

#include <cstring>
#include <mutex>

namespace qor::gdi {

void ensure_stock_objects() {
    static std::once_flag once;
    std::call_once(once, [] {
        auto brush = [](int index, bool hollow, COLORREF color) {
            auto b = std::make_shared<Brush>();
            b->hollow = hollow;
            b->color = pixel_from_colorref(color);
            insert_stock(index, b);
        };
        brush(WHITE_BRUSH, false, RGB(255, 255, 255));
        brush(LTGRAY_BRUSH, false, RGB(192, 192, 192));
        brush(GRAY_BRUSH, false, RGB(128, 128, 128));
        brush(DKGRAY_BRUSH, false, RGB(64, 64, 64));
        brush(BLACK_BRUSH, false, RGB(0, 0, 0));
        brush(NULL_BRUSH, true, 0);
        auto pen = [](int index, bool hollow, COLORREF color) {
            auto p = std::make_shared<Pen>();
            p->hollow = hollow;
            p->color = pixel_from_colorref(color);
            insert_stock(index, p);
        };
        pen(WHITE_PEN, false, RGB(255, 255, 255));
        pen(BLACK_PEN, false, RGB(0, 0, 0));
        pen(NULL_PEN, true, 0);
        // An empty logical font stands for the device's default font.
        insert_stock(DEVICE_DEFAULT_FONT, std::make_shared<Font>());
        insert_stock(SYSTEM_FONT, std::make_shared<Font>());
    });
}

std::shared_ptr<RealizedFont> current_font(Dc& dc) {
    if (dc.realized && dc.realized_for == dc.font) return dc.realized;
    auto font = lookup<Font>(dc.font);
    LOGFONTW logfont = font && font->logfont.lfFaceName[0] ? font->logfont : default_logfont(*dc.device);
    if (font && !font->logfont.lfFaceName[0] && font->logfont.lfHeight) logfont.lfHeight = font->logfont.lfHeight;
    dc.realized = realize_font(*dc.device, logfont);
    dc.realized_for = dc.font;
    return dc.realized;
}

}  // namespace qor::gdi

using namespace qor::gdi;

extern "C" {

QORAPI HFONT CreateFontIndirectW(const LOGFONTW* logfont) {
    return qor::guarded(HFONT{nullptr}, [&]() -> HFONT {
        if (!logfont) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto font = std::make_shared<Font>();
        font->logfont = *logfont;
        font->logfont.lfFaceName[LF_FACESIZE - 1] = 0;
        return insert_object(font);
    });
}

QORAPI HBRUSH CreateSolidBrush(COLORREF color) {
    return qor::guarded(HBRUSH{nullptr}, [&]() -> HBRUSH {
        auto brush = std::make_shared<Brush>();
        brush->color = pixel_from_colorref(color);
        return insert_object(brush);
    });
}

QORAPI HPEN CreatePen(int style, int width, COLORREF color) {
    return qor::guarded(HPEN{nullptr}, [&]() -> HPEN {
        if (style != PS_SOLID && style != PS_NULL) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto pen = std::make_shared<Pen>();
        pen->hollow = style == PS_NULL;
        pen->width = width < 1 ? 1 : width;
        pen->color = pixel_from_colorref(color);
        return insert_object(pen);
    });
}

QORAPI HGDIOBJ GetStockObject(int index) {
    return qor::guarded(HGDIOBJ{nullptr}, [&]() -> HGDIOBJ {
        ensure_stock_objects();
        if (index < 0 || index > SYSTEM_FONT + 8) return nullptr;
        HGDIOBJ handle = stock_handle(index);
        return lookup_object(handle) ? handle : nullptr;
    });
}

QORAPI HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    return qor::guarded(static_cast<HGDIOBJ>(nullptr), [&]() -> HGDIOBJ {
        auto dc = dc_of(hdc);
        if (!dc) return nullptr;
        auto target = lookup_object(object);
        if (!target) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        std::lock_guard<std::recursive_mutex> guard(dc->lock);
        HGDIOBJ* slot = nullptr;
        switch (target->kind()) {
        case Kind::Font: slot = &dc->font; break;
        case Kind::Brush: slot = &dc->brush; break;
        case Kind::Pen: slot = &dc->pen; break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        HGDIOBJ previous = *slot;
        *slot = object;
        return previous;
    });
}

QORAPI BOOL DeleteObject(HGDIOBJ object) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto target = lookup_object(object);
        if (!target || target->kind() == Kind::Dc || target->kind() == Kind::Device ||
            target->kind() == Kind::Surface) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (is_stock(object)) return TRUE;  // stock objects are never deleted
        return remove_object(object) ? TRUE : FALSE;
    });
}

QORAPI int EnumFontFamiliesExW(HDC hdc, LPLOGFONTW logfont, FONTENUMPROCW proc, LPARAM param, DWORD) {
    return qor::guarded(0, [&]() -> int {
        auto dc = dc_of(hdc);
        if (!dc || !proc) {
            if (dc) SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        std::u16string wanted;
        BYTE charset = DEFAULT_CHARSET;
        if (logfont) {
            for (size_t i = 0; i < LF_FACESIZE && logfont->lfFaceName[i]; ++i) wanted.push_back(logfont->lfFaceName[i]);
            charset = logfont->lfCharSet;
        }
        std::vector<DeviceFontInfo> fonts;
        {
            std::lock_guard<std::recursive_mutex> guard(dc->lock);
            if (dc->device) fonts = device_fonts(*dc->device);
        }
        int result = 1;
        for (const auto& font : fonts) {
            std::u16string name(font.logfont.lfFaceName);
            if (!wanted.empty() && name != wanted) continue;
            if (charset != DEFAULT_CHARSET && charset != font.logfont.lfCharSet) continue;
            result = proc(&font.logfont, &font.metrics, DEVICE_FONTTYPE, param);
            if (!result) return 0;
        }
        for (const auto& family : installed_families()) {
            if (!wanted.empty() && family != wanted) continue;
            LOGFONTW lf{};
            size_t n = std::min<size_t>(family.size(), LF_FACESIZE - 1);
            std::memcpy(lf.lfFaceName, family.data(), n * 2);
            lf.lfWeight = FW_NORMAL;
            lf.lfCharSet = charset == DEFAULT_CHARSET ? ANSI_CHARSET : charset;
            lf.lfPitchAndFamily = VARIABLE_PITCH;
            TEXTMETRICW metrics{};
            metrics.tmWeight = FW_NORMAL;
            metrics.tmCharSet = lf.lfCharSet;
            result = proc(&lf, &metrics, TRUETYPE_FONTTYPE, param);
            if (!result) return 0;
        }
        return result;
    });
}

}  // extern "C"
