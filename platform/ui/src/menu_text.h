// How a menu item's text is shown and named by the test script. Qt-free.
#pragma once

#include <string>

namespace qorui {

// The label without its '&' marks ("&&" stays one '&') and without the
// shortcut after '\t'.
std::u16string menu_label(const std::u16string& text);
// Whether the script's name for an item means this item text: the label,
// or the text before '\t' with its marks.
bool menu_text_matches(const std::u16string& text, const std::u16string& name);

}  // namespace qorui
