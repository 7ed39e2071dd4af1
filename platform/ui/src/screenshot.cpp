// Windows written to PNG, for tests and the documentation's pictures.
#include "window_table.h"

#include <QPixmap>

using namespace qorui;

extern "C" BOOL QorUiScreenshot(HWND handle, const char* png_path) {
    auto window = find_window(handle);
    if (!window || !window->widget || !png_path) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    QWidget* widget = window->widget;
    // A widget not yet shown has no layout pass; grab() would paint it at
    // its unpolished size.
    widget->ensurePolished();
    QPixmap picture = widget->grab();
    if (!picture.save(QString::fromUtf8(png_path), "PNG")) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}
