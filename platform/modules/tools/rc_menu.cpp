// The standard menu template: MENUITEMTEMPLATEHEADER, then the items, a
// popup's items following it and MF_END on the last item of every level.
#include "rc_templates.h"

namespace qorrc {
namespace {

void write_items(Bytes& out, const std::vector<MenuItem>& items) {
    for (size_t k = 0; k < items.size(); ++k) {
        const MenuItem& item = items[k];
        uint16_t flags = item.flags;
        if (item.popup) flags |= mf_popup;
        if (k + 1 == items.size()) flags |= mf_end;
        out.u16(flags);
        if (!item.popup) out.u16(item.id);
        out.wide(item.text);
        if (item.popup) write_items(out, item.items);
    }
}

}  // namespace

std::vector<unsigned char> write_menu(const std::vector<MenuItem>& items) {
    Bytes out;
    out.u16(0);  // versionNumber
    out.u16(0);  // offset
    write_items(out, items);
    return std::move(out.data());
}

}  // namespace qorrc
