#include "option_defaults.h"

#include "common/printer_defaults.h"

#include <cstring>

namespace qorcups {

namespace {

// The interface driver's document defaults, taken only when it answers with
// a whole record of our size: a foreign or failing driver leaves `devmode`
// untouched.
bool InterfaceDriverDeviceMode(HANDLE printer, const std::u16string& printer_name, EXDEVMODE* devmode) {
    std::u16string name = printer_name;
    const LONG size = DocumentPropertiesW(nullptr, printer, name.data(), nullptr, nullptr, 0);
    if (size != static_cast<LONG>(sizeof(EXDEVMODE))) return false;
    EXDEVMODE answer;
    std::memset(&answer, 0, sizeof(answer));
    if (DocumentPropertiesW(nullptr, printer, name.data(), reinterpret_cast<DEVMODEW*>(&answer), nullptr,
                            DM_OUT_BUFFER) != 1)
        return false;
    if (answer.dm.dmSize + answer.dm.dmDriverExtra != sizeof(EXDEVMODE)) return false;
    *devmode = answer;
    return true;
}

}  // namespace

bool PrinterDeviceMode(HANDLE printer, const std::u16string& printer_name, const PpdData& ppd,
                       EXDEVMODE* devmode) {
    return InterfaceDriverDeviceMode(printer, printer_name, devmode) ||
           qor::defaults::stored_devmode(printer, devmode) || DeviceModeDefaults(ppd, printer_name, devmode);
}

bool DeviceModeDefaults(const PpdData& ppd, const std::u16string& printer_name, EXDEVMODE* devmode) {
    return EngSetDefaultEXDEVMODE(devmode, printer_name.c_str(), &ppd) != FALSE;
}

}  // namespace qorcups
