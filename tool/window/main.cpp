// tool: sets the presenter's automatic collection time.
#include "collection_dialog.h"
#include "presenter_printers.h"

#include "qor/kernel.h"

#include <string>

int main() {
    // A second start raises the first instance's window and ends.
    char16_t name[256];
    HANDLE single = QorUiClaimSingleInstance(reinterpret_cast<LPWSTR>(name), 256);
    if (!single) return GetLastError() == ERROR_ALREADY_EXISTS ? 0 : 1;
    const std::u16string property = name;
    tool::CilLink link;
    tool::ToolModel model(link, tool::presenter_printers);
    tool::run_collection_dialog(model, property);
    CloseHandle(single);
    return 0;
}
