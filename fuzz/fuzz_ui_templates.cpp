// The dialog, menu and accelerator template readers on arbitrary bytes:
// the first byte picks the reader. None may crash or read past the input.
#include "templates.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t* body = data + 1;
    size_t length = size - 1;
    switch (data[0] % 3) {
    case 0: qorui::read_dialog_template(body, length); break;
    case 1: qorui::read_menu_template(body, length); break;
    default: qorui::read_accelerators(body, length); break;
    }
    return 0;
}
