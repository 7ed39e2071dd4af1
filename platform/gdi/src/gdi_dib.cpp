#include "gdi_dib.h"

#include <cstring>

namespace qor::gdi {
namespace {

constexpr LONG kMaxSide = 1 << 16;
constexpr uint64_t kMaxBytes = 1ull << 30;
constexpr DWORD kHeaderWithMasks = sizeof(BITMAPINFOHEADER) + 12;

bool fail() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

}  // namespace

bool convert_dib(const BITMAPINFO* info, size_t info_size, const void* bits, size_t bits_size,
                 LONG x, LONG y, LONG width, LONG height, DibImage& out) {
    if (!info || !bits || info_size < sizeof(BITMAPINFOHEADER)) return fail();
    BITMAPINFOHEADER header;
    std::memcpy(&header, info, sizeof(header));
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biSize > info_size || header.biPlanes != 1)
        return fail();
    if (header.biWidth <= 0 || header.biWidth > kMaxSide || header.biHeight == 0 ||
        header.biHeight < -kMaxSide || header.biHeight > kMaxSide)
        return fail();
    const unsigned bpp = header.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return fail();
    const auto* base = reinterpret_cast<const uint8_t*>(info);
    if (header.biCompression == BI_BITFIELDS) {
        // Only the usual 8-8-8 layout: anything else is drawn wrong, so refuse it.
        // Headers of 52 bytes and more hold the masks themselves, after the
        // basic fields; the basic header is followed by them.
        const size_t masks_at = header.biSize >= kHeaderWithMasks ? sizeof(BITMAPINFOHEADER) : header.biSize;
        if (bpp != 32 || info_size - masks_at < 12) return fail();
        DWORD masks[3];
        std::memcpy(masks, base + masks_at, sizeof(masks));
        if (masks[0] != 0xFF0000 || masks[1] != 0xFF00 || masks[2] != 0xFF) return fail();
    } else if (header.biCompression != BI_RGB) {
        return fail();
    }
    const LONG image_width = header.biWidth;
    const LONG image_height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const bool bottom_up = header.biHeight > 0;
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || x > image_width - width || y > image_height - height)
        return fail();

    RGBQUAD palette[256]{};
    if (bpp <= 8) {
        uint32_t colours = header.biClrUsed ? header.biClrUsed : (1u << bpp);
        if (colours > (1u << bpp)) return fail();
        if ((info_size - header.biSize) / sizeof(RGBQUAD) < colours) return fail();
        std::memcpy(palette, base + header.biSize, colours * sizeof(RGBQUAD));
    }
    const uint64_t stride = (static_cast<uint64_t>(image_width) * bpp + 31) / 32 * 4;
    const uint64_t needed = stride * static_cast<uint64_t>(image_height);
    if (needed > kMaxBytes || needed > bits_size) return fail();
    if (static_cast<uint64_t>(width) * height * 3 > kMaxBytes) return fail();

    out.width = width;
    out.height = height;
    out.bgr.resize(static_cast<size_t>(width) * height * 3);
    const auto* pixels = static_cast<const uint8_t*>(bits);
    for (LONG row = 0; row < height; ++row) {
        LONG picture_row = y + row;
        LONG stored_row = bottom_up ? image_height - 1 - picture_row : picture_row;
        const uint8_t* src = pixels + stride * static_cast<uint64_t>(stored_row);
        uint8_t* dst = out.bgr.data() + static_cast<size_t>(row) * width * 3;
        switch (bpp) {
        case 24:
            std::memcpy(dst, src + static_cast<size_t>(x) * 3, static_cast<size_t>(width) * 3);
            break;
        case 32:
            for (LONG col = 0; col < width; ++col) std::memcpy(dst + col * 3, src + (x + col) * 4, 3);
            break;
        default:
            for (LONG col = 0; col < width; ++col) {
                unsigned pos = static_cast<unsigned>(x + col) * bpp;
                unsigned index = (src[pos / 8] >> (8 - bpp - pos % 8)) & ((1u << bpp) - 1);
                const RGBQUAD& q = palette[index];
                dst[col * 3] = q.rgbBlue;
                dst[col * 3 + 1] = q.rgbGreen;
                dst[col * 3 + 2] = q.rgbRed;
            }
            break;
        }
    }
    return true;
}

}  // namespace qor::gdi
