// Engine-side records behind surface and palette handles.
#pragma once

#include "gdi_objects.h"

#include <memory>
#include <vector>

namespace qor::gdi {

struct Surface final : Object {
    static constexpr Kind kKind = Kind::Surface;
    Kind kind() const override { return kKind; }
    SURFOBJ so{};
    std::unique_ptr<uint8_t[]> owned_bits;  // when the engine allocated them
    HDEV hdev = nullptr;
    FLONG hooks = 0;
    bool banding = false;
};

struct Palette final : Object {
    static constexpr Kind kKind = Kind::Palette;
    Kind kind() const override { return kKind; }
    ULONG mode = 0;
    std::vector<ULONG> colors;
    FLONG red = 0, green = 0, blue = 0;
};

// The surface record behind a SURFOBJ the engine handed out, or null.
std::shared_ptr<Surface> surface_of(const SURFOBJ* so);

// Bytes per row of a bitmap format at `width`, rounded to 4; 0 when unknown
// or too large.
size_t stride_for(ULONG format, LONG width);

}  // namespace qor::gdi
