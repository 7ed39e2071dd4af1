// The shared system cursors, set over the whole program as Qt's override
// cursor.
#include "window_table.h"

#include <QApplication>
#include <QCursor>

using namespace qorui;

namespace {

// System cursors are their resource numbers.
HCURSOR system_cursor(LPCWSTR name) { return reinterpret_cast<HCURSOR>(const_cast<LPWSTR>(name)); }

HCURSOR current = nullptr;  // GUI thread

std::optional<Qt::CursorShape> shape_of(HCURSOR cursor) {
    if (cursor == system_cursor(IDC_WAIT)) return Qt::WaitCursor;
    if (cursor == system_cursor(IDC_APPSTARTING)) return Qt::BusyCursor;
    if (cursor == system_cursor(IDC_IBEAM)) return Qt::IBeamCursor;
    if (cursor == system_cursor(IDC_ARROW)) return Qt::ArrowCursor;
    return std::nullopt;
}

}  // namespace

extern "C" {

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    if (instance || !IS_INTRESOURCE(name) || !shape_of(system_cursor(name))) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return system_cursor(name);
}

HCURSOR SetCursor(HCURSOR cursor) {
    ensure_application();
    HCURSOR previous = current ? current : system_cursor(IDC_ARROW);
    auto shape = shape_of(cursor);
    if (!shape && cursor) return previous;
    // One override of ours at most, so that an arrow always ends it.
    if (current && current != system_cursor(IDC_ARROW)) QApplication::restoreOverrideCursor();
    if (shape && *shape != Qt::ArrowCursor) QApplication::setOverrideCursor(QCursor(*shape));
    current = cursor;
    return previous;
}

HCURSOR GetCursor(void) { return current ? current : reinterpret_cast<HCURSOR>(const_cast<LPWSTR>(IDC_ARROW)); }

}  // extern "C"
