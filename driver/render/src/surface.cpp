// The band surface: the whole printable area at 24 bits per pixel.
#include "entries.h"
#include "grey.h"
#include "qor/memory.h"

namespace {

// Paper metrics come from description files and callers' device modes.
constexpr LONG kMaxSide = 0x10000;
// The widest head (832 dots) on a 999 mm page needs 20 MB; this leaves room.
constexpr uint64_t kMaxSurfaceBytes = 256ull << 20;

}  // namespace

HSURF DrvEnableSurface(DHPDEV dhpdev) {
    PDEV* pdev = ValidPdev(dhpdev);
    if (!pdev) return nullptr;
    const PaperMetrix paper = *pdev->current_paper;
    LONG width = IsLandscape(pdev) ? paper.AreaLength : paper.AreaWidth;
    LONG height = IsLandscape(pdev) ? paper.AreaWidth : paper.AreaLength;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const DWORD stride = ColourStride(static_cast<DWORD>(width));
    const uint64_t size = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    if (size > kMaxSurfaceBytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* bits = static_cast<BYTE*>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size)));
    if (!bits) return nullptr;
    HBITMAP bitmap = EngCreateBitmap(SIZEL{width, height}, static_cast<LONG>(stride), BMF_24BPP, BMF_TOPDOWN, bits);
    if (!bitmap) {
        HeapFree(pdev->heap, 0, bits);
        return nullptr;
    }
    if (!EngAssociateSurface(bitmap, pdev->hdev, HOOK_TEXTOUT) || !EngMarkBandingSurface(bitmap)) {
        EngDeleteSurface(bitmap);
        HeapFree(pdev->heap, 0, bits);
        return nullptr;
    }
    pdev->surface = bitmap;
    pdev->surface_bits = bits;
    pdev->surface_size = static_cast<size_t>(size);
    pdev->surface_width = static_cast<DWORD>(width);
    pdev->surface_height = static_cast<DWORD>(height);
    pdev->band_count = 1;
    return bitmap;
}

void DrvDisableSurface(DHPDEV dhpdev) {
    PDEV* pdev = ValidPdev(dhpdev);
    if (!pdev) return;
    if (pdev->surface) EngDeleteSurface(pdev->surface);
    if (pdev->surface_bits) HeapFree(pdev->heap, 0, pdev->surface_bits);
    pdev->surface = nullptr;
    pdev->surface_bits = nullptr;
    pdev->surface_size = 0;
}
