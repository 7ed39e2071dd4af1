// Surfaces and palettes the driver creates through the Eng* services.
#include "gdi_device.h"
#include "qor/guard.h"
#include "gdi_surface.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace qor::gdi {

size_t stride_for(ULONG format, LONG width) {
    if (width <= 0 || width > (1 << 20)) return 0;
    size_t bits = 0;
    switch (format) {
    case BMF_1BPP: bits = 1; break;
    case BMF_4BPP: bits = 4; break;
    case BMF_8BPP: bits = 8; break;
    case BMF_16BPP: bits = 16; break;
    case BMF_24BPP: bits = 24; break;
    case BMF_32BPP: bits = 32; break;
    default: return 0;
    }
    return (static_cast<size_t>(width) * bits + 31) / 32 * 4;
}

std::shared_ptr<Surface> surface_of(const SURFOBJ* so) {
    if (!so) return nullptr;
    auto surface = lookup<Surface>(so->hsurf);
    if (!surface || &surface->so != so) return nullptr;
    return surface;
}

}  // namespace qor::gdi

using namespace qor::gdi;

extern "C" {

QORAPI HBITMAP EngCreateBitmap(SIZEL size, LONG stride, ULONG format, FLONG flags, PVOID bits) {
    return qor::guarded(HBITMAP{nullptr}, [&]() -> HBITMAP {
        size_t min_stride = stride_for(format, size.cx);
        if (min_stride == 0 || size.cy <= 0 || size.cy > (1 << 20)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        size_t row = stride ? static_cast<size_t>(stride < 0 ? -static_cast<int64_t>(stride) : stride)
                            : min_stride;
        if (row < min_stride) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        size_t total = row * static_cast<size_t>(size.cy);
        if (total > 0xFFFFFFFFu) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        auto surface = std::make_shared<Surface>();
        uint8_t* base = static_cast<uint8_t*>(bits);
        if (!base) {
            surface->owned_bits.reset(new (std::nothrow) uint8_t[total]);
            if (!surface->owned_bits) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            if (!(flags & BMF_NOZEROINIT)) std::memset(surface->owned_bits.get(), 0, total);
            base = surface->owned_bits.get();
        }
        SURFOBJ& so = surface->so;
        so.sizlBitmap = size;
        so.cjBits = static_cast<ULONG>(total);
        so.pvBits = base;
        bool top_down = (flags & BMF_TOPDOWN) || stride < 0;
        so.lDelta = top_down ? static_cast<LONG>(row) : -static_cast<LONG>(row);
        so.pvScan0 = top_down ? base : base + row * static_cast<size_t>(size.cy - 1);
        so.iBitmapFormat = format;
        so.iType = STYPE_BITMAP;
        so.fjBitmap = top_down ? BMF_TOPDOWN : 0;
        HANDLE handle = insert_object(surface);
        so.hsurf = handle;
        so.iUniq = 1;
        return handle;
    });
}

QORAPI BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG hooks) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto surface = lookup<Surface>(hsurf);
        auto device = lookup<Device>(hdev);
        if (!surface || !device) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        surface->hdev = hdev;
        surface->hooks = hooks;
        surface->so.hdev = hdev;
        surface->so.dhpdev = device->dhpdev;
        return TRUE;
    });
}

QORAPI BOOL EngMarkBandingSurface(HSURF hsurf) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto surface = lookup<Surface>(hsurf);
        if (!surface) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        surface->banding = true;
        return TRUE;
    });
}

QORAPI BOOL EngDeleteSurface(HSURF hsurf) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!lookup<Surface>(hsurf) || !remove_object(hsurf)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        return TRUE;
    });
}

QORAPI SURFOBJ* EngLockSurface(HSURF hsurf) {
    return qor::guarded(static_cast<SURFOBJ*>(nullptr), [&]() -> SURFOBJ* {
        auto surface = lookup<Surface>(hsurf);
        if (!surface) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        return &surface->so;
    });
}

QORAPI void EngUnlockSurface(SURFOBJ*) {}

QORAPI BOOL EngCheckAbort(SURFOBJ* so) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        auto surface = surface_of(so);
        if (!surface) return FALSE;
        auto device = lookup<Device>(surface->hdev);
        return device && device->aborted.load() ? TRUE : FALSE;
    });
}

QORAPI HPALETTE EngCreatePalette(ULONG mode, ULONG count, ULONG* colors, FLONG red, FLONG green,
                                 FLONG blue) {
    return qor::guarded(HPALETTE{nullptr}, [&]() -> HPALETTE {
        if (mode != PAL_INDEXED && mode != PAL_BITFIELDS && mode != PAL_RGB && mode != PAL_BGR) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto palette = std::make_shared<Palette>();
        palette->mode = mode;
        if (mode == PAL_INDEXED) {
            if (count == 0 || count > 65536 || !colors) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            palette->colors.assign(colors, colors + count);
        }
        palette->red = red;
        palette->green = green;
        palette->blue = blue;
        return insert_object(palette);
    });
}

QORAPI BOOL EngDeletePalette(HPALETTE handle) {
    return qor::guarded(BOOL(FALSE), [&]() -> BOOL {
        if (!lookup<Palette>(handle) || !remove_object(handle)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        return TRUE;
    });
}

QORAPI PVOID EngAllocMem(ULONG flags, ULONG size, ULONG) {
    return qor::guarded(static_cast<PVOID>(nullptr), [&]() -> PVOID {
        void* memory = (flags & FL_ZERO_MEMORY) ? calloc(1, size ? size : 1) : malloc(size ? size : 1);
        if (!memory) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return memory;
    });
}

QORAPI void EngFreeMem(PVOID memory) { free(memory); }

}  // extern "C"
