// Window device contexts: the graphics engine's canvas contexts drawing
// with a QPainter, and logical fonts as Qt fonts.
#pragma once

#include "qor/ui/windows.h"

#include <QFont>

class QPainter;
class QWidget;

namespace qorui {

// The Qt font a logical font asks for; the all-zero font is the
// application's default face and size.
QFont font_from_logfont(const LOGFONTW& logfont);
// The font behind an HFONT of the graphics engine; the default font when
// the handle is not a font.
QFont font_from_handle(HFONT font);

// A context drawing with `painter` (which must outlive it) at the widget's
// resolution. Delete it with DeleteDC.
HDC create_painter_dc(QPainter& painter, const QWidget* widget);

}  // namespace qorui
