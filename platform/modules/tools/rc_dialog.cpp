// DLGTEMPLATE / DLGTEMPLATEEX with their DLGITEMTEMPLATE(EX) items.
#include "rc_templates.h"

namespace qorrc {
namespace {

constexpr uint32_t ds_setfont = 0x40;
constexpr size_t dlgtemplate_size = 18, dlgtemplateex_size = 26;
constexpr size_t dlgitemtemplate_size = 18, dlgitemtemplateex_size = 24;

void name_or_id(Bytes& out, const NameOrId& value) {
    if (value.is_id) {
        out.u16(0xFFFF);
        out.u16(value.id);
    } else {
        out.wide(value.text);  // an empty text is the single 0 word: none
    }
}

void rect(Bytes& out, int16_t x, int16_t y, int16_t cx, int16_t cy) {
    out.u16(static_cast<uint16_t>(x));
    out.u16(static_cast<uint16_t>(y));
    out.u16(static_cast<uint16_t>(cx));
    out.u16(static_cast<uint16_t>(cy));
}

}  // namespace

std::vector<unsigned char> write_dialog(const Dialog& dialog) {
    if (dialog.controls.size() > 0xFFFF) throw Failure{"more than 65535 controls"};
    Bytes out;
    uint32_t style = dialog.style | (dialog.has_font ? ds_setfont : 0);
    if (dialog.extended) {
        out.u16(1);       // dlgVer
        out.u16(0xFFFF);  // signature
        out.u32(dialog.help_id);
        out.u32(dialog.ex_style);
        out.u32(style);
        out.u16(static_cast<uint16_t>(dialog.controls.size()));
        rect(out, dialog.x, dialog.y, dialog.cx, dialog.cy);
        static_assert(dlgtemplateex_size == 2 + 2 + 4 + 4 + 4 + 2 + 4 * 2);
    } else {
        out.u32(style);
        out.u32(dialog.ex_style);
        out.u16(static_cast<uint16_t>(dialog.controls.size()));
        rect(out, dialog.x, dialog.y, dialog.cx, dialog.cy);
        static_assert(dlgtemplate_size == 4 + 4 + 2 + 4 * 2);
    }
    name_or_id(out, dialog.menu);
    name_or_id(out, dialog.class_name);
    out.wide(dialog.caption);
    if (style & ds_setfont) {
        out.u16(dialog.point_size);
        if (dialog.extended) {
            out.u16(dialog.weight);
            out.u8(dialog.italic);
            out.u8(dialog.charset);
        }
        out.wide(dialog.face);
    }
    for (const Control& control : dialog.controls) {
        out.align(4);
        if (dialog.extended) {
            out.u32(control.help_id);
            out.u32(control.ex_style);
            out.u32(control.style);
            rect(out, control.x, control.y, control.cx, control.cy);
            out.u32(control.id);
            static_assert(dlgitemtemplateex_size == 4 + 4 + 4 + 4 * 2 + 4);
        } else {
            out.u32(control.style);
            out.u32(control.ex_style);
            rect(out, control.x, control.y, control.cx, control.cy);
            out.u16(static_cast<uint16_t>(control.id));
            static_assert(dlgitemtemplate_size == 4 + 4 + 4 * 2 + 2);
        }
        name_or_id(out, control.class_name);
        name_or_id(out, control.text);
        out.u16(0);  // no creation data
    }
    return std::move(out.data());
}

}  // namespace qorrc
