#include "text_layout.h"

namespace qorui {
namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

// One paragraph (no line breaks) into lines.
void break_paragraph(std::u16string_view text, size_t offset, int width,
                     const std::function<int(std::u16string_view)>& measure, std::vector<TextLine>& lines) {
    size_t start = 0;
    while (true) {
        std::u16string_view rest = text.substr(start);
        int whole = measure(rest);
        if (whole <= width || rest.empty()) {
            lines.push_back({offset + start, rest.size(), whole});
            return;
        }
        // The longest run ending before a blank that still fits.
        size_t end = 0;
        for (size_t i = 1; i < rest.size(); ++i) {
            if (is_blank(rest[i]) && !is_blank(rest[i - 1]) && measure(rest.substr(0, i)) <= width) end = i;
            else if (is_blank(rest[i]) && measure(rest.substr(0, i)) > width) break;
        }
        if (end == 0) {
            // No blank fits: as many characters as fit, at least one.
            end = 1;
            while (end < rest.size() && measure(rest.substr(0, end + 1)) <= width) ++end;
        }
        lines.push_back({offset + start, end, measure(rest.substr(0, end))});
        start += end;
        while (start < text.size() && is_blank(text[start])) ++start;
        if (start >= text.size()) return;
    }
}

}  // namespace

std::vector<TextLine> break_lines(std::u16string_view text, int width, bool word_break,
                                  const std::function<int(std::u16string_view)>& measure) {
    std::vector<TextLine> lines;
    size_t start = 0;
    while (true) {
        size_t stop = text.find(u'\n', start);
        size_t end = stop == std::u16string_view::npos ? text.size() : stop;
        size_t content = end > start && text[end - 1] == u'\r' ? end - 1 : end;
        std::u16string_view paragraph = text.substr(start, content - start);
        if (word_break) break_paragraph(paragraph, start, width, measure, lines);
        else lines.push_back({start, paragraph.size(), measure(paragraph)});
        if (stop == std::u16string_view::npos) break;
        start = stop + 1;
    }
    return lines;
}

}  // namespace qorui
