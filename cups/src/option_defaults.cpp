#include "option_defaults.h"

namespace qorcups {

bool DeviceModeDefaults(const PpdData& ppd, const std::u16string& printer_name, EXDEVMODE* devmode) {
    return EngSetDefaultEXDEVMODE(devmode, printer_name.c_str(), &ppd) != FALSE;
}

}  // namespace qorcups
