// Window tests of the suite's programs: real Qt widgets on the offscreen
// platform, found behind their window handles and driven as a user would.
#pragma once

#include "qor/ui/windows.h"

#include <QApplication>
#include <QVariant>
#include <QWidget>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace qortest {

inline const bool kOffscreenWindows = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();

template <class W>
W* widget_of(HWND window) {
    for (QWidget* widget : QApplication::allWidgets()) {
        QVariant number = widget->property("qor_hwnd");
        if (number.isValid() && number.toULongLong() == reinterpret_cast<uintptr_t>(window))
            return qobject_cast<W*>(widget);
    }
    return nullptr;
}

inline HWND handle_of(QWidget* widget) {
    QVariant number = widget ? widget->property("qor_hwnd") : QVariant();
    return number.isValid() ? reinterpret_cast<HWND>(number.toULongLong()) : nullptr;
}

inline std::string text_of(HWND window) {
    char buffer[256] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

// With QOR_SCREENSHOT_DIR set (scripts/screenshots.sh), the window as
// <dir>/<name>; otherwise nothing.
inline bool screenshot(HWND window, const char* name) {
    const char* dir = std::getenv("QOR_SCREENSHOT_DIR");
    return !dir || QorUiScreenshot(window, (std::string(dir) + "/" + name).c_str());
}

}  // namespace qortest
