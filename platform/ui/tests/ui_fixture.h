// Window tests run on Qt's offscreen platform, set before any window exists.
#pragma once

#include "qor/ui/windows.h"
#include "template_builder.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <string>

namespace uitest {

inline const bool kOffscreen = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();

inline std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

inline std::string text_of(HWND window) {
    char buffer[256];
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

// The widget behind a handle, for driving it as a user would.
template <class W>
W* widget_of(HWND window) {
    for (QWidget* widget : QApplication::allWidgets()) {
        QVariant number = widget->property("qor_hwnd");
        if (number.isValid() && number.toULongLong() == reinterpret_cast<uintptr_t>(window))
            return qobject_cast<W*>(widget);
    }
    return nullptr;
}

inline HWND modeless(const std::vector<uint8_t>& bytes, DLGPROC proc, LPARAM param = 0) {
    return CreateDialogIndirectParamW(nullptr, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, proc, param);
}

}  // namespace uitest
