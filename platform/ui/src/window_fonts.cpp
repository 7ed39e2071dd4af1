#include "window_fonts.h"

#include "window_dc.h"

namespace qorui {
namespace {
// The HFONT last set, kept where GetProp would find it.
constexpr char16_t kFontProperty[] = u"qor.font";
}

LRESULT font_message(Window& window, UINT message, WPARAM wparam, LPARAM lparam, bool& handled) {
    handled = message == WM_SETFONT || message == WM_GETFONT;
    if (message == WM_GETFONT) {
        auto it = window.properties.find(kFontProperty);
        return it == window.properties.end() ? 0 : reinterpret_cast<LRESULT>(it->second);
    }
    if (message != WM_SETFONT) return 0;
    auto font = reinterpret_cast<HFONT>(wparam);
    if (font) window.properties[kFontProperty] = font;
    else window.properties.erase(kFontProperty);
    if (window.widget) {
        window.widget->setFont(font_from_handle(font));
        if (LOWORD(static_cast<DWORD>(lparam))) window.widget->update();
    }
    return 0;
}

}  // namespace qorui
