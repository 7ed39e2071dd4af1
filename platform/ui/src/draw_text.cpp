// DrawText on any device context of the graphics engine: lines broken by
// text_layout, placed by the format flags, drawn with ExtTextOut.
#include "text_layout.h"

#include "qor/ui/windows.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kMaxChars = 1 << 16;

int measure(HDC hdc, std::u16string_view text) {
    SIZE size{};
    if (text.empty() || !GetTextExtentPoint32W(hdc, reinterpret_cast<LPCWSTR>(text.data()), static_cast<int>(text.size()), &size))
        return 0;
    return size.cx;
}

// "&x" shows as "x" and "&&" as "&" unless DT_NOPREFIX.
std::u16string without_prefixes(std::u16string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        else if (text[i] == u'&') continue;
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

extern "C" int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    if (!text || !rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = 0;
    if (count < 0) {
        while (length < kMaxChars && text[length]) ++length;
    } else {
        length = static_cast<size_t>(std::min(count, kMaxChars));
    }
    std::u16string chars(reinterpret_cast<const char16_t*>(text), length);
    if (!(format & DT_NOPREFIX)) chars = without_prefixes(chars);
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(hdc, &metrics)) return 0;
    const int line_height = static_cast<int>(metrics.tmHeight);
    const int width = std::max<LONG>(rect->right - rect->left, 1);
    const bool single = format & DT_SINGLELINE;
    std::vector<qorui::TextLine> lines;
    if (single) {
        std::u16string flat = chars;
        std::replace(flat.begin(), flat.end(), u'\n', u' ');
        std::replace(flat.begin(), flat.end(), u'\r', u' ');
        chars = flat;
        lines.push_back({0, chars.size(), measure(hdc, chars)});
    } else {
        lines = qorui::break_lines(chars, width, format & DT_WORDBREAK,
                                   [hdc](std::u16string_view piece) { return measure(hdc, piece); });
    }
    const int height = line_height * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const auto& line : lines) widest = std::max(widest, line.width);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + height;
        return height;
    }
    LONG top = rect->top;
    if (single && (format & DT_VCENTER)) top = rect->top + (rect->bottom - rect->top - line_height) / 2;
    else if (single && (format & DT_BOTTOM)) top = rect->bottom - line_height;
    const UINT previous_align = SetTextAlign(hdc, TA_LEFT | TA_TOP);
    const UINT options = (format & DT_NOCLIP) ? 0 : ETO_CLIPPED;
    for (const auto& line : lines) {
        LONG left = rect->left;
        if (format & DT_CENTER) left = rect->left + (width - line.width) / 2;
        else if (format & DT_RIGHT) left = rect->right - line.width;
        ExtTextOutW(hdc, left, top, options, rect, reinterpret_cast<LPCWSTR>(chars.data() + line.start),
                    static_cast<UINT>(line.length), nullptr);
        top += line_height;
    }
    if (previous_align != static_cast<UINT>(GDI_ERROR)) SetTextAlign(hdc, previous_align);
    return height;
}
