#include "line_breaker.h"

#include <unicode/ubrk.h>

#include <algorithm>
#include <memory>

namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
using BreakIterator = std::unique_ptr<UBreakIterator, BreakIteratorCloser>;

// Boundaries of `kind` in `text` after position 0, ascending; the text's
// end is always the last. Without ICU data every character is a boundary.
std::vector<size_t> Boundaries(UBreakIteratorType kind, std::u16string_view text) {
    std::vector<size_t> found;
    UErrorCode status = U_ZERO_ERROR;
    BreakIterator iterator(ubrk_open(kind, "", text.data(), static_cast<int32_t>(text.size()), &status));
    if (U_SUCCESS(status) && iterator) {
        for (int32_t at = ubrk_next(iterator.get()); at != UBRK_DONE; at = ubrk_next(iterator.get()))
            found.push_back(static_cast<size_t>(at));
    } else {
        for (size_t i = 1; i <= text.size(); ++i) found.push_back(i);
    }
    if (found.empty() || found.back() != text.size()) found.push_back(text.size());
    return found;
}

std::u16string_view WithoutTrailingSpaces(std::u16string_view piece) {
    while (!piece.empty() && (piece.back() == u' ' || piece.back() == u'\u3000')) piece.remove_suffix(1);
    return piece;
}

// The last boundary in [first, last) of `ends` whose piece from `start`
// fits (a longer piece never measures less); `first` - 1 when none does.
// Probes grow from `first` before bisecting, so a piece costs measures of
// pieces not much longer than itself, however long the line.
size_t LastFitting(std::u16string_view line, size_t start, const std::vector<size_t>& ends, size_t first,
                   size_t last, long width, const MeasureText& measure) {
    const auto fits = [&](size_t k) {
        return measure(WithoutTrailingSpaces(line.substr(start, ends[k] - start))) <= width;
    };
    size_t low = first, high = last;  // the answer lies in [low - 1, high)
    for (size_t step = 1; low < high; step *= 2) {
        const size_t probe = std::min(high, low + step) - 1;
        if (!fits(probe)) {
            high = probe;
            break;
        }
        low = probe + 1;
    }
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (fits(middle)) low = middle + 1;
        else high = middle;
    }
    return low - 1;
}

}  // namespace

std::vector<std::u16string> BreakLine(std::u16string_view line, long width, const MeasureText& measure) {
    std::vector<std::u16string> pieces;
    const std::vector<size_t> breaks = Boundaries(UBRK_LINE, line);
    size_t start = 0;
    size_t next = 0;  // index of the first break after `start`
    while (start < line.size()) {
        while (next < breaks.size() && breaks[next] <= start) ++next;
        const size_t fit = LastFitting(line, start, breaks, next, breaks.size(), width, measure);
        size_t end;
        if (fit + 1 > next) {
            end = breaks[fit];
        } else {
            // Nothing up to the next opportunity fits: break inside the word.
            const std::u16string_view word = line.substr(start, breaks[next] - start);
            const std::vector<size_t> clusters = Boundaries(UBRK_CHARACTER, word);
            const size_t cluster = LastFitting(word, 0, clusters, 0, clusters.size(), width, measure);
            end = start + clusters[cluster == static_cast<size_t>(-1) ? 0 : cluster];
        }
        pieces.emplace_back(WithoutTrailingSpaces(line.substr(start, end - start)));
        start = end;
    }
    if (pieces.empty()) pieces.emplace_back();
    return pieces;
}
