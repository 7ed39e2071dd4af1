// tool: sets the presenter's automatic collection time.
#include "collection_dialog.h"
#include "presenter_printers.h"

#include "qor/kernel.h"
#include "qor/support/utf.h"

#include <string>

namespace {

// The executable's name without folder and extension: the single-instance
// mutex and the main dialog's property are named after it.
std::string base_name() {
    char path[4096] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name = path;
    name = name.substr(name.find_last_of("/\\") + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

int main() {
    std::string name = base_name();
    std::u16string property = qor::utf8_to_utf16(name);
    HANDLE single = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!single) return 1;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        QorUiRaiseMarkedWindow(reinterpret_cast<LPCWSTR>(property.c_str()));
        CloseHandle(single);
        return 0;
    }
    tool::CilLink link;
    tool::ToolModel model(link, tool::presenter_printers);
    tool::run_collection_dialog(model, property);
    CloseHandle(single);
    return 0;
}
