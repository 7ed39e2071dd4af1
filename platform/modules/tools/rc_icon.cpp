// An .ico file split into RT_ICON images and the RT_GROUP_ICON directory
// that names them: the file's 16-byte directory entries become 14-byte
// entries whose last word is the image's resource id.
#include "rc_templates.h"

namespace qorrc {
namespace {

constexpr size_t icondir_size = 6, icondirentry_size = 16, grpicondirentry_size = 14;

uint32_t read16(const std::vector<unsigned char>& d, size_t at) { return d[at] | (d[at + 1] << 8); }
uint32_t read32(const std::vector<unsigned char>& d, size_t at) {
    return read16(d, at) | (static_cast<uint32_t>(read16(d, at + 2)) << 16);
}

}  // namespace

void add_icon(const Key& name, const std::vector<unsigned char>& ico, const std::string& file, Output& output) {
    if (ico.size() < icondir_size || read16(ico, 0) != 0 || read16(ico, 2) != 1)
        throw Failure{file + ": not an icon file"};
    uint32_t count = read16(ico, 4);
    if (count == 0) throw Failure{file + ": icon file without images"};
    if (ico.size() < icondir_size + count * icondirentry_size) throw Failure{file + ": icon directory cut short"};
    Bytes group;
    group.u16(0);
    group.u16(1);
    group.u16(static_cast<uint16_t>(count));
    for (uint32_t k = 0; k < count; ++k) {
        size_t entry = icondir_size + k * icondirentry_size;
        uint32_t size = read32(ico, entry + 8), offset = read32(ico, entry + 12);
        if (offset > ico.size() || size > ico.size() - offset)
            throw Failure{file + ": image " + std::to_string(k + 1) + " lies outside the file"};
        if (output.next_icon_image == 0) throw Failure{"more than 65535 icon images"};
        uint16_t image_id = output.next_icon_image++;
        for (size_t b = 0; b < 12; ++b) group.u8(ico[entry + b]);
        group.u16(image_id);
        Resource image{Key{rt_icon, {}}, Key{image_id, {}},
                       std::vector<unsigned char>(ico.begin() + offset, ico.begin() + offset + size)};
        output.resources.push_back(std::move(image));
    }
    if (group.size() != icondir_size + count * grpicondirentry_size) throw Failure{"icon group layout"};
    output.resources.push_back(Resource{Key{rt_group_icon, {}}, name, std::move(group.data())});
}

}  // namespace qorrc
