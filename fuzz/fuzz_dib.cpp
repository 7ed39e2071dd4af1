// Bitmaps handed to StretchDIBits: header, palette and bits checked and
// converted, then scaled into a band at any position, size and mirroring.
#include "gdi_dib.h"
#include "gdi_page.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

int32_t take(const uint8_t*& data, size_t& size) {
    int32_t value = 0;
    size_t n = size < 4 ? size : 4;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Source rectangle, destination rectangle, the size of the header part.
    int32_t params[9];
    for (int32_t& p : params) p = take(data, size);
    size_t info_size = static_cast<uint16_t>(params[8]);
    if (info_size > size) info_size = size;
    std::vector<uint8_t> info(data, data + info_size);
    std::vector<uint8_t> bits(data + info_size, data + size);
    if (info.size() < sizeof(BITMAPINFOHEADER)) return 0;
    qor::gdi::DibImage image;
    if (!qor::gdi::convert_dib(reinterpret_cast<const BITMAPINFO*>(info.data()), info.size(), bits.data(),
                               bits.size(), params[0] % 70000, params[1] % 70000, params[2] % 300,
                               params[3] % 300, image))
        return 0;
    static HBITMAP band = EngCreateBitmap(SIZEL{64, 48}, 0, BMF_24BPP, BMF_TOPDOWN, nullptr);
    qor::gdi::ImageCommand command;
    command.x = params[4];
    command.y = params[5];
    command.width = params[6] % 5000;
    command.height = params[7] % 5000;
    command.src_width = image.width;
    command.src_height = image.height;
    command.bgr = std::make_shared<const std::vector<uint8_t>>(std::move(image.bgr));
    qor::gdi::draw_image(command, EngLockSurface(band), POINTL{params[0] % 100, params[1] % 100});
    return 0;
}
