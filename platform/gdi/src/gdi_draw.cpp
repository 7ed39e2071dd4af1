// Bitmaps, rectangles and lines of the application face.
#if defined(__GNUC__) && !defined(__clang__)
// g++ 12 reports moved-from std::variant storage as uninitialised when the
// command vector grows (a known false positive).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "gdi_dc.h"
#include "qor/guard.h"
#include "gdi_dib.h"

#include <algorithm>

using namespace qor::gdi;

extern "C" {

QORAPI int StretchDIBits(HDC hdc, int x_dest, int y_dest, int dest_width, int dest_height, int x_src, int y_src,
                         int src_width, int src_height, const void* bits, const BITMAPINFO* info, UINT usage,
                         DWORD rop) {
    return qor::guarded(0, [&]() -> int {
        return with_dc(hdc, 0, [&](Dc& dc) {
            if (usage != DIB_RGB_COLORS || rop != SRCCOPY) {
                SetLastError(ERROR_NOT_SUPPORTED);
                return 0;
            }
            if (!dc.page_open) return refuse(0);
            DibImage image;
            if (!convert_dib(info, kUnknownSize, bits, kUnknownSize, x_src, y_src, src_width, src_height, image))
                return 0;
            if (dest_width == 0 || dest_height == 0) return src_height;
            ImageCommand command{x_dest, y_dest, dest_width, dest_height, image.width, image.height,
                                 std::make_shared<const std::vector<uint8_t>>(std::move(image.bgr))};
            dc.page.commands.push_back(std::move(command));
            return src_height;
        });
    });
}

QORAPI int FillRect(HDC hdc, const RECT* rect, HBRUSH handle) {
    return qor::guarded(0, [&]() -> int {
        return with_dc(hdc, 0, [&](Dc& dc) {
            auto brush = lookup<Brush>(handle);
            if (rect && brush && dc.canvas) {
                if (!brush->hollow) dc.canvas->fill(*rect, colorref_from_pixel(brush->color));
                return 1;
            }
            if (!rect || !brush || !dc.page_open) return refuse(0);
            if (!brush->hollow)
                dc.page.commands.push_back(FillCommand{{rect->left, rect->top, rect->right, rect->bottom}, brush->color});
            return 1;
        });
    });
}

QORAPI BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return with_dc(hdc, FALSE, [&](Dc& dc) {
            if (!dc.page_open) return refuse(FALSE);
            if (left > right) std::swap(left, right);
            if (top > bottom) std::swap(top, bottom);
            auto brush = lookup<Brush>(dc.brush);
            auto pen = lookup<Pen>(dc.pen);
            if (brush && !brush->hollow) dc.page.commands.push_back(FillCommand{{left, top, right, bottom}, brush->color});
            if (pen && !pen->hollow) {
                LONG w = std::min<LONG>(pen->width, std::max(1, std::min(right - left, bottom - top)));
                auto edge = [&](LONG l, LONG t, LONG r, LONG b) {
                    dc.page.commands.push_back(FillCommand{{l, t, r, b}, pen->color});
                };
                edge(left, top, right, top + w);
                edge(left, bottom - w, right, bottom);
                edge(left, top, left + w, bottom);
                edge(right - w, top, right, bottom);
            }
            return TRUE;
        });
    });
}

QORAPI BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return with_dc(hdc, FALSE, [&](Dc& dc) {
            if (previous) *previous = dc.position;
            dc.position = {x, y};
            return TRUE;
        });
    });
}

QORAPI BOOL LineTo(HDC hdc, int x, int y) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        return with_dc(hdc, FALSE, [&](Dc& dc) {
            if (!dc.page_open) return refuse(FALSE);
            auto pen = lookup<Pen>(dc.pen);
            if (pen && !pen->hollow)
                dc.page.commands.push_back(LineCommand{{dc.position.x, dc.position.y}, {x, y}, pen->width, pen->color});
            dc.position = {x, y};
            return TRUE;
        });
    });
}

}  // extern "C"
