// Test support for the interface driver: parsed descriptions, device-mode
// records, and the description file installed in a private spooler's
// driver folder.
#pragma once

#include "common/exdevmode.h"
#include "context.h"

#include <string>

namespace uitest {

// The installed description, data/qorn5002.ppd, as text.
std::string InstalledDescriptionText();

// `text` parsed with the description reader.
Description Parse(const std::string& text);

// A description of four papers (codes 300..303, 40..100 mm wide), no presets.
std::string FourPaperDescription();

// A record with the description's defaults and valid blocks.
EXDEVMODE DefaultRecord(const PpdData& ppd);

// Writes `text` as "3\qorn5002.ppd" in the spooler's driver folder.
bool InstallDescription(const std::string& text);
// Links the built QORCPUN7.so into the driver folder, where the spooler's
// driver record names it.
bool InstallModule();

}  // namespace uitest
