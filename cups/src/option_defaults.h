// Where a CUPS queue's option defaults come from: the device mode a fresh
// job of the printer's driver starts with.
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"
#include "qor/spooler.h"

#include <string>

namespace qorcups {

// The device mode a new job on the installed printer starts from, as its
// interface driver gives it (the printer's stored defaults merged in). When
// the printer has no interface driver that answers, its stored device mode
// or, failing that, the description's defaults. False when none is usable.
bool PrinterDeviceMode(HANDLE printer, const std::u16string& printer_name, const PpdData& ppd,
                       EXDEVMODE* devmode);

// The defaults of the description `ppd` alone, as the rendering driver
// builds them, for a model with no installed printer.
bool DeviceModeDefaults(const PpdData& ppd, const std::u16string& printer_name, EXDEVMODE* devmode);

}  // namespace qorcups
