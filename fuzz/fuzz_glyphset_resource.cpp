// The double-byte glyph-set resource as the rendering driver loads it.
#include "glyphset.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FD_GLYPHSET* set = GlyphSetFromResource(data, size);
    if (!set) return 0;
    // Every run's handles must be readable where the set says they are.
    const WCRUN* runs = set->awcrun;
    volatile HGLYPH sink = 0;
    for (ULONG i = 0; i < set->cRuns; ++i)
        for (USHORT k = 0; k < runs[i].cGlyphs; ++k) sink = sink + runs[i].phg[k];
    EngFreeMem(set);
    return 0;
}
