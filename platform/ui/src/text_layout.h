// Breaking text into the lines of a rectangle, for DrawText.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

namespace qorui {

struct TextLine {
    size_t start = 0, length = 0;  // in the text, without the break's blanks
    int width = 0;
};

// Lines of `text` at most `width` wide (by `measure`): explicit line breaks
// ("\n", "\r\n") always end a line; with `word_break`, a line ends at the
// last blank that keeps it inside, and a word wider than the whole width is
// broken between characters. Without it every paragraph is one line.
std::vector<TextLine> break_lines(std::u16string_view text, int width, bool word_break,
                                  const std::function<int(std::u16string_view)>& measure);

}  // namespace qorui
