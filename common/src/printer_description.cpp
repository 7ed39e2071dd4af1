#include "common/printer_description.h"

#include "qor/spooler.h"

#include <cstring>
#include <vector>

namespace qor {

std::unique_ptr<PpdBlock> load_printer_description(HANDLE printer, std::string* error) {
    DWORD needed = 0;
    GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed >= sizeof(DRIVER_INFO_2W) ? needed : sizeof(DRIVER_INFO_2W));
    if (needed < sizeof(DRIVER_INFO_2W) || !GetPrinterDriverW(printer, nullptr, 2, buffer.data(), needed, &needed)) {
        *error = "the printer's driver is not installed (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    DRIVER_INFO_2W info;
    std::memcpy(&info, buffer.data(), sizeof(info));
    auto block = std::make_unique<PpdBlock>();
    std::memset(block.get(), 0, sizeof(PpdBlock));
    PPD_AttachTables(block.get());
    if (!info.pDataFile || !PPD_Init(&block->data, info.pDataFile)) {
        *error = "the printer's description file cannot be read (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    return block;
}

}  // namespace qor
