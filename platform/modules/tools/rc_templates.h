// The resources of a script as read, before they are written in the
// platform's binary layouts (one writer per kind).
#pragma once

#include "rc_resource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qorrc {

// A dialog field that is a number or a text (class, title, menu name).
struct NameOrId {
    bool is_id = false;
    uint16_t id = 0;
    std::u16string text;
};

struct Control {
    NameOrId class_name;  // ordinals 0x0080 to 0x0085 for the built-in classes
    NameOrId text;
    uint32_t id = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t style = 0, ex_style = 0, help_id = 0;
};

struct Dialog {
    bool extended = false;  // DIALOGEX
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t style = 0, ex_style = 0, help_id = 0;
    NameOrId menu, class_name;  // empty text and not is_id: none
    std::u16string caption;
    bool has_font = false;
    uint16_t point_size = 0, weight = 0;
    uint8_t italic = 0, charset = 1;
    std::u16string face;
    std::vector<Control> controls;
};

struct MenuItem {
    uint16_t flags = 0;  // MF_* without MF_POPUP and MF_END, which the writer sets
    uint16_t id = 0;
    std::u16string text;
    bool popup = false;
    std::vector<MenuItem> items;  // of a popup
};

struct Accelerator {
    uint16_t flags = 0;  // FVIRTKEY, FNOINVERT, FSHIFT, FCONTROL, FALT
    uint16_t key = 0;
    uint16_t id = 0;
};

// One node of the version record's tree: a BLOCK (children) or a VALUE
// (text, or 16- and 32-bit numbers as the script wrote them).
struct VersionNode {
    std::u16string key;
    bool is_block = false;
    bool is_text = false;
    std::u16string text;
    std::vector<unsigned char> binary;
    std::vector<VersionNode> children;
};

struct Version {
    uint32_t file_version[2] = {0, 0}, product_version[2] = {0, 0};
    uint32_t flags_mask = 0, flags = 0, os = 0, type = 0, subtype = 0;
    std::vector<VersionNode> children;
};

constexpr uint16_t mf_grayed = 0x0001, mf_disabled = 0x0002, mf_checked = 0x0008, mf_popup = 0x0010,
                   mf_menubarbreak = 0x0020, mf_menubreak = 0x0040, mf_end = 0x0080, mf_help = 0x4000;
constexpr uint16_t fvirtkey = 0x01, fnoinvert = 0x02, fshift = 0x04, fcontrol = 0x08, falt = 0x10;
constexpr uint16_t accel_last = 0x80;

std::vector<unsigned char> write_dialog(const Dialog& dialog);
std::vector<unsigned char> write_menu(const std::vector<MenuItem>& items);
std::vector<unsigned char> write_accelerators(const std::vector<Accelerator>& table);
std::vector<unsigned char> write_version(const Version& version);
// The string table, gathered from every source, as RT_STRING blocks.
void add_string_blocks(Output& output);
// An .ico file's images as RT_ICON resources and their RT_GROUP_ICON `name`.
void add_icon(const Key& name, const std::vector<unsigned char>& ico, const std::string& file, Output& output);

}  // namespace qorrc
