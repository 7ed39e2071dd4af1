#include "halftone.h"

#include "diffusion.h"
#include "halftone_tables.h"

#include <array>

namespace {

// For the ordered methods the answer for a pixel depends only on its grey
// value and its place in the 8 x 8 cell, so each method becomes a table:
// for row phase y mod 8 and a grey value, the byte whose bit (0x80 >> k) is
// set when the pixel at column phase k is black. A row is then one lookup
// and one mask per pixel.
using PhaseTable = std::array<std::array<BYTE, 256>, 8>;

template <class IsBlack>
constexpr PhaseTable BuildPhaseTable(IsBlack is_black) {
    PhaseTable table{};
    for (int row = 0; row < 8; ++row)
        for (int grey = 0; grey < 256; ++grey) {
            BYTE bits = 0;
            for (int column = 0; column < 8; ++column)
                if (is_black(255 - grey, column, row)) bits |= static_cast<BYTE>(0x80 >> column);
            table[row][grey] = bits;
        }
    return table;
}

const PhaseTable kThresholdTable = BuildPhaseTable([](int dark, int, int) { return dark >= 128; });
const PhaseTable kClusteredTable = BuildPhaseTable(
    [](int dark, int column, int row) { return dark >= kClusteredMatrix[8 * column + row]; });
const PhaseTable kDispersedTable = BuildPhaseTable(
    [](int dark, int column, int row) { return dark >= kDispersedMatrix[8 * column + row]; });
const PhaseTable kPatternTable = BuildPhaseTable([](int dark, int column, int row) {
    return dark >= 1 && (kLevelPatterns[dark / 8][row] & (0x80 >> column)) != 0;
});

bool HalftoneByTable(const std::array<BYTE, 256>& table, const BYTE* grey, BYTE* out,
                     LONG width) noexcept {
    BYTE any = 0;
    const LONG whole = width / 8;
    for (LONG j = 0; j < whole; ++j) {
        const BYTE* p = grey + 8 * j;
        BYTE bits = static_cast<BYTE>((table[p[0]] & 0x80) | (table[p[1]] & 0x40) | (table[p[2]] & 0x20) |
                                      (table[p[3]] & 0x10) | (table[p[4]] & 0x08) | (table[p[5]] & 0x04) |
                                      (table[p[6]] & 0x02) | (table[p[7]] & 0x01));
        out[j] = bits;
        any |= bits;
    }
    if (LONG rest = width % 8) {
        const BYTE* p = grey + 8 * whole;
        BYTE bits = 0;
        for (LONG k = 0; k < rest; ++k) bits |= static_cast<BYTE>(table[p[k]] & (0x80 >> k));
        out[whole] = bits;
        any |= bits;
    }
    return any != 0;
}

}  // namespace

bool HalftoneThreshold(const BYTE* grey, BYTE* out, LONG width, LONG, DiffusionState*) noexcept {
    return HalftoneByTable(kThresholdTable[0], grey, out, width);
}

bool HalftoneClustered(const BYTE* grey, BYTE* out, LONG width, LONG y, DiffusionState*) noexcept {
    return HalftoneByTable(kClusteredTable[y & 7], grey, out, width);
}

bool HalftoneDispersed(const BYTE* grey, BYTE* out, LONG width, LONG y, DiffusionState*) noexcept {
    return HalftoneByTable(kDispersedTable[y & 7], grey, out, width);
}

bool HalftonePatterns(const BYTE* grey, BYTE* out, LONG width, LONG y, DiffusionState*) noexcept {
    return HalftoneByTable(kPatternTable[y & 7], grey, out, width);
}

HalftoneRow HalftoneForDitherType(DWORD dither_type) noexcept {
    switch (dither_type) {
    case DITHER_CLUSTERED: return HalftoneClustered;
    case DITHER_DISPERSED: return HalftoneDispersed;
    case DITHER_PATTERNS: return HalftonePatterns;
    case DITHER_DIFFUSION: return HalftoneDiffusion;
    default: return HalftoneThreshold;
    }
}
