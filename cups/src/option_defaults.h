// Where a CUPS queue's option defaults come from: the device mode a fresh
// job of the printer's driver starts with.
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"

#include <string>

namespace qorcups {

// The device mode a new job starts from for the description `ppd`: today
// the description's defaults as the rendering driver builds them. The one
// place to ask the interface driver instead once it offers its defaults.
// False when the description gives no device mode.
bool DeviceModeDefaults(const PpdData& ppd, const std::u16string& printer_name, EXDEVMODE* devmode);

}  // namespace qorcups
