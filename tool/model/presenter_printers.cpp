#include "presenter_printers.h"

#include "qor/spooler.h"

#include <cstring>

namespace tool {

std::optional<std::vector<std::string>> presenter_printers() {
    static constexpr char prefix[] = "QOR ZEM-D";
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed,
                       &count))
        return std::nullopt;
    std::vector<std::string> names;
    auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD k = 0; k < count; ++k) {
        const char* driver = printers[k].pDriverName;
        if (driver && std::strncmp(driver, prefix, sizeof prefix - 1) == 0 && printers[k].pPrinterName)
            names.emplace_back(printers[k].pPrinterName);
    }
    return names;
}

}  // namespace tool
