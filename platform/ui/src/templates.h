// Readers of the binary dialog, menu and accelerator templates that modules
// carry as resources. Qt-free: the dialog builder turns the result into
// widgets. Every reader takes untrusted bytes and fails (nullopt) on any
// length or offset outside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qorui {

// A name-or-ordinal field: an ordinal when `ordinal` is non-zero, else text
// (possibly empty = absent).
struct NameOrOrdinal {
    uint16_t ordinal = 0;
    std::u16string text;
    bool empty() const { return ordinal == 0 && text.empty(); }
};

struct DialogItem {
    uint32_t help_id = 0;
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;
    NameOrOrdinal window_class;  // ordinals 0x0080.. are the predefined classes
    NameOrOrdinal title;
    std::vector<uint8_t> creation_data;
};

struct DialogTemplate {
    bool extended = false;
    uint32_t help_id = 0;
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal window_class;
    std::u16string title;
    bool has_font = false;
    uint16_t point_size = 0;
    uint16_t weight = 0;
    bool italic = false;
    uint8_t charset = 0;
    std::u16string face;
    std::vector<DialogItem> items;
};

std::optional<DialogTemplate> read_dialog_template(const uint8_t* data, size_t size);

struct MenuItem {
    uint16_t flags = 0;  // MF_* without MF_END
    uint16_t id = 0;
    std::u16string text;
    std::vector<MenuItem> children;  // for MF_POPUP
};
// A MENU template: the top-level items (the bar or the pop-up's entries).
std::optional<std::vector<MenuItem>> read_menu_template(const uint8_t* data, size_t size);

struct Accelerator {
    uint16_t flags = 0;  // FVIRTKEY, FSHIFT, FCONTROL, FALT (without the end mark)
    uint16_t key = 0;
    uint16_t command = 0;
};
std::optional<std::vector<Accelerator>> read_accelerators(const uint8_t* data, size_t size);

}  // namespace qorui
