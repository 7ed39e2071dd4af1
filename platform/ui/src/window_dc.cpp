// Canvas contexts on QPainter, GetDC for measuring outside painting, and
// repainting.
#include "window_dc.h"

#include "qor/gdi_canvas.h"
#include "window_table.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QScreen>

#include <algorithm>
#include <map>
#include <memory>

namespace qorui {
namespace {

QColor to_qcolor(COLORREF color) { return QColor(GetRValue(color), GetGValue(color), GetBValue(color)); }

QString from_view(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

class PainterCanvas final : public qor::gdi::Canvas {
public:
    PainterCanvas(QPainter* painter, int dpi_x, int dpi_y, QSize size)
        : painter_(painter), dpi_x_(dpi_x), dpi_y_(dpi_y), size_(size) {}

    void fill(const RECT& rect, COLORREF color) override {
        painter_->fillRect(QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1)),
                           to_qcolor(color));
    }
    void draw_text(POINT top_left, std::u16string_view text, const LOGFONTW& logfont, COLORREF color,
                   const RECT* clip) override {
        QFont font = font_from_logfont(logfont);
        painter_->save();
        if (clip) painter_->setClipRect(QRect(QPoint(clip->left, clip->top), QPoint(clip->right - 1, clip->bottom - 1)),
                                        Qt::IntersectClip);
        painter_->setFont(font);
        painter_->setPen(to_qcolor(color));
        QFontMetrics metrics(font, painter_->device());
        painter_->drawText(QPoint(top_left.x, top_left.y + metrics.ascent()), from_view(text));
        painter_->restore();
    }
    TEXTMETRICW metrics(const LOGFONTW& logfont) override {
        QFont font = font_from_logfont(logfont);
        QFontMetrics m(font, painter_->device());
        TEXTMETRICW out{};
        out.tmAscent = m.ascent();
        out.tmDescent = m.descent();
        out.tmHeight = m.ascent() + m.descent();
        out.tmExternalLeading = std::max(0, m.leading());
        out.tmAveCharWidth = m.averageCharWidth();
        out.tmMaxCharWidth = m.maxWidth();
        out.tmWeight = logfont.lfWeight ? logfont.lfWeight : FW_NORMAL;
        out.tmDigitizedAspectX = dpi_x_;
        out.tmDigitizedAspectY = dpi_y_;
        out.tmFirstChar = 0x20;
        out.tmLastChar = 0xFFFF;
        out.tmDefaultChar = u'?';
        out.tmBreakChar = 0x20;
        out.tmPitchAndFamily = VARIABLE_PITCH;
        out.tmCharSet = ANSI_CHARSET;
        return out;
    }
    SIZE extent(const LOGFONTW& logfont, std::u16string_view text) override {
        QFontMetrics m(font_from_logfont(logfont), painter_->device());
        return SIZE{m.horizontalAdvance(from_view(text)), m.ascent() + m.descent()};
    }
    int device_caps(int index) override {
        switch (index) {
        case LOGPIXELSX: return dpi_x_;
        case LOGPIXELSY: return dpi_y_;
        case HORZRES: return size_.width();
        case VERTRES: return size_.height();
        case BITSPIXEL: return 32;
        case PLANES: return 1;
        case TECHNOLOGY: return 1;  // raster display
        default: return 0;
        }
    }

private:
    QPainter* painter_;
    int dpi_x_, dpi_y_;
    QSize size_;
};

// GetDC's context: a painter on a scratch image the size of the window.
struct ScratchCanvas {
    QImage image;
    std::unique_ptr<QPainter> painter;
};

std::map<HDC, std::unique_ptr<ScratchCanvas>>& scratch_canvases() {
    static auto* table = new std::map<HDC, std::unique_ptr<ScratchCanvas>>;
    return *table;
}

}  // namespace

QFont font_from_logfont(const LOGFONTW& logfont) {
    QFont font = QApplication::font();
    if (logfont.lfFaceName[0]) {
        size_t length = 0;
        while (length < LF_FACESIZE && logfont.lfFaceName[length]) ++length;
        font.setFamilies({QString::fromUtf16(reinterpret_cast<const char16_t*>(logfont.lfFaceName),
                                             static_cast<qsizetype>(length))});
    }
    // A negative height is the character height, a positive one the cell's;
    // both are pixels of the device.
    if (logfont.lfHeight < 0) font.setPixelSize(static_cast<int>(std::min<LONG>(-logfont.lfHeight, 1000)));
    else if (logfont.lfHeight > 0) font.setPixelSize(static_cast<int>(std::min<LONG>(logfont.lfHeight, 1000) * 4 / 5 + 1));
    if (logfont.lfWeight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp<LONG>(logfont.lfWeight, 1, 1000)));
    font.setItalic(logfont.lfItalic != 0);
    font.setUnderline(logfont.lfUnderline != 0);
    font.setStrikeOut(logfont.lfStrikeOut != 0);
    return font;
}

QFont font_from_handle(HFONT handle) {
    LOGFONTW logfont{};
    if (!handle || GetObjectW(handle, sizeof(logfont), &logfont) != static_cast<int>(sizeof(logfont)))
        return QApplication::font();
    return font_from_logfont(logfont);
}

HDC create_painter_dc(QPainter& painter, const QWidget* widget) {
    int dpi_x = widget ? widget->logicalDpiX() : 96, dpi_y = widget ? widget->logicalDpiY() : 96;
    QSize size = widget ? widget->size() : QSize();
    return qor::gdi::CreateCanvasDc(std::make_shared<PainterCanvas>(&painter, dpi_x, dpi_y, size));
}

}  // namespace qorui

using namespace qorui;

extern "C" HDC GetDC(HWND handle) {
    auto window = find_window(handle);
    if (handle && (!window || !window->widget)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    ensure_application();
    const QWidget* widget = window ? window->widget.data() : nullptr;
    auto scratch = std::make_unique<ScratchCanvas>();
    QSize size = widget ? widget->size().expandedTo(QSize(1, 1)) : QSize(1, 1);
    scratch->image = QImage(size, QImage::Format_RGB32);
    scratch->painter = std::make_unique<QPainter>(&scratch->image);
    HDC hdc = create_painter_dc(*scratch->painter, widget);
    if (hdc) scratch_canvases()[hdc] = std::move(scratch);
    return hdc;
}

extern "C" int ReleaseDC(HWND, HDC hdc) {
    auto it = scratch_canvases().find(hdc);
    if (it == scratch_canvases().end()) return 0;
    DeleteDC(hdc);
    scratch_canvases().erase(it);
    return 1;
}

extern "C" BOOL InvalidateRect(HWND handle, const RECT* rect, BOOL) {
    auto window = find_window(handle);
    if (!window || !window->widget) return FALSE;
    QWidget* target = window->widget;
    // A list's items are drawn on its viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(target)) target = area->viewport();
    if (rect) target->update(QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)));
    else target->update();
    return TRUE;
}

extern "C" BOOL UpdateWindow(HWND handle) {
    auto window = find_window(handle);
    if (!window || !window->widget) return FALSE;
    window->widget->repaint();
    return TRUE;
}

extern "C" DWORD GetSysColor(int index) {
    ensure_application();
    QPalette palette = QApplication::palette();
    QColor color;
    switch (index) {
    case COLOR_WINDOW: color = palette.color(QPalette::Base); break;
    case COLOR_WINDOWTEXT: color = palette.color(QPalette::Text); break;
    case COLOR_HIGHLIGHT: color = palette.color(QPalette::Highlight); break;
    case COLOR_HIGHLIGHTTEXT: color = palette.color(QPalette::HighlightedText); break;
    case COLOR_BTNFACE: color = palette.color(QPalette::Button); break;
    default: return 0;
    }
    return RGB(color.red(), color.green(), color.blue());
}

extern "C" int GetSystemMetrics(int index) {
    ensure_application();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 0;
    switch (index) {
    case SM_CXSCREEN: return screen->geometry().width();
    case SM_CYSCREEN: return screen->geometry().height();
    default: return 0;
    }
}

extern "C" BOOL GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    ensure_application();
    QPoint at = QCursor::pos();
    *point = POINT{at.x(), at.y()};
    return TRUE;
}
