// Breaking text lines to a width by the Unicode line-breaking rules.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// How wide a piece of a line prints, in any unit the width uses.
using MeasureText = std::function<long(std::u16string_view)>;

// Breaks `line` into pieces that each measure at most `width`, at the
// line-break opportunities of the Unicode rules (after spaces, between
// ideographs, ...). A piece with no opportunity inside the width is broken
// between characters (grapheme clusters), each piece taking at least one.
// Spaces at a break are dropped; no other character is lost.
std::vector<std::u16string> BreakLine(std::u16string_view line, long width, const MeasureText& measure);
