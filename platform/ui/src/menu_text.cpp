#include "menu_text.h"

namespace qorui {
namespace {

std::u16string before_tab(const std::u16string& text) { return text.substr(0, text.find(u'\t')); }

}  // namespace

std::u16string menu_label(const std::u16string& text) {
    std::u16string shown = before_tab(text), label;
    for (size_t k = 0; k < shown.size(); ++k) {
        if (shown[k] == u'&') {
            if (k + 1 < shown.size() && shown[k + 1] == u'&') label += u'&', ++k;
            continue;
        }
        label += shown[k];
    }
    return label;
}

bool menu_text_matches(const std::u16string& text, const std::u16string& name) {
    return !name.empty() && (menu_label(text) == name || before_tab(text) == name);
}

}  // namespace qorui
