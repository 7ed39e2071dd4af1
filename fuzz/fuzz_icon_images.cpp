// The icon readers on arbitrary bytes: the first byte picks the group
// directory or the image. Neither may crash or read past the input.
#include "icon_images.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) qorui::icon_group_ids(data + 1, size - 1);
    else qorui::decode_dib_icon(data + 1, size - 1);
    return 0;
}
