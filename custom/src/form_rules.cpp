#include "form_rules.h"

namespace custom {

ListView list_view(List list, InterfaceKind kind, const SettingBytes& mask) {
    const ListInfo& l = info(list);
    ListView view{l.label, l.items, true, list_enabled(list, mask, kind)};
    if (!is_serial_list(list) || kind == InterfaceKind::Serial) return view;
    if (kind == InterfaceKind::Parallel && (list == List::BaudRate || list == List::BitLength)) {
        view.label = list == List::BaudRate ? kAutoLfLabel : kStatusLabel;
        view.items = parallel_items();
        return view;
    }
    view.visible = false;
    return view;
}

bool command_enabled(int id, bool acquired) {
    switch (id) {
    case command::kLoadPrinter:
    case command::kExit:
    case command::kVersion: return true;
    default: return acquired;
    }
}

}  // namespace custom
