// Window tests of the layer run on Qt's offscreen platform (qortest_ui.h
// sets it before any window exists).
#pragma once

#include "qor/ui/windows.h"
#include "qortest_ui.h"
#include "template_builder.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <string>

namespace uitest {

inline std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

using qortest::text_of;
using qortest::widget_of;

inline HWND modeless(const std::vector<uint8_t>& bytes, DLGPROC proc, LPARAM param = 0) {
    return CreateDialogIndirectParamW(nullptr, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, proc, param);
}

}  // namespace uitest
