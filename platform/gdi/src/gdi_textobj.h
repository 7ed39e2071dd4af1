// The engine's string object: the STROBJ handed to DrvTextOut and
// EngTextOut, with the glyph positions and text it points at.
#pragma once

#include "gdi_freetype.h"

#include "qor/ddi.h"

#include <string>
#include <vector>

namespace qor::gdi {

struct EngString {
    STROBJ so{};
    uint32_t magic = kMagic;
    static constexpr uint32_t kMagic = 0x53545247;
    std::vector<GLYPHPOS> positions;
    std::u16string text;
    std::vector<PlacedGlyph> glyphs;  // system fonts: what EngTextOut draws, surface coordinates
    bool enumerated = false;
};

EngString* string_from(STROBJ* so);

}  // namespace qor::gdi
