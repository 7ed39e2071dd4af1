// Logical fonts and their realisation on a device: a device font the
// driver offers, or a system font drawn through FreeType.
#pragma once

#include "gdi_device.h"
#include "gdi_freetype.h"

#include <memory>
#include <string>

namespace qor::gdi {

struct Font final : Object {
    static constexpr Kind kKind = Kind::Font;
    Kind kind() const override { return kKind; }
    LOGFONTW logfont{};
};

// A font realised for one device. The FONTOBJ and XFORMOBJ handed to the
// driver are its first members, so the engine finds the record again.
struct RealizedFont {
    FONTOBJ fo{};
    XFORMOBJ xo{};
    uint32_t magic = kMagic;
    static constexpr uint32_t kMagic = 0x464F4E54;

    bool device_font = false;
    const IFIMETRICS* ifi = nullptr;         // device fonts: the driver's metrics
    const FD_GLYPHSET* glyph_set = nullptr;  // device fonts: the driver's glyph set
    SizedFace face;                          // FreeType face (device fonts: a stand-in)
    FLOATL matrix[4] = {1, 0, 0, 1};         // notional space to device pixels
    LONG ascent = 0, descent = 0, average_width = 0, max_width = 0;
    std::u16string face_name;

    // Device fonts: the printer's cell for a character its glyph set holds
    // (double-byte codes a whole cell, others half), and for one it lacks,
    // which the engine draws, a whole cell when the character is wide.
    LONG advance(char16_t ch) const;
    HGLYPH glyph_handle(char16_t ch) const;
    bool device_has(char16_t ch) const { return glyph_handle(ch) != HGLYPH_INVALID; }
};

RealizedFont* realized_from(FONTOBJ* fo);

// Realises `logfont` on `device`: one of the driver's device fonts when the
// face name is a device font's, else a system font. Null when neither exists.
std::shared_ptr<RealizedFont> realize_font(Device& device, const LOGFONTW& logfont);

// The device fonts the driver offers, as LOGFONT and TEXTMETRIC pairs.
struct DeviceFontInfo {
    LOGFONTW logfont;
    TEXTMETRICW metrics;
};
std::vector<DeviceFontInfo> device_fonts(Device& device);

// The default font of a device (its DEVINFO default).
LOGFONTW default_logfont(const Device& device);

}  // namespace qor::gdi
