// The device mode of a job: the printer's own settings first, then what the
// user asked for on the command line.
#pragma once

#include "options.h"

#include "common/exdevmode.h"
#include "common/ppd.h"
#include "qor/spooler.h"

#include <memory>
#include <string>

// The printer's description file, parsed.
std::unique_ptr<PpdBlock> LoadPrinterDescription(HANDLE printer, std::string* error);

// Starts from the printer's stored device mode when it carries valid
// settings, else from the description's defaults; the printer's FONT,
// CUTTER and PAGEMODE data then apply, as the interface driver applies them.
bool PrinterDevmode(HANDLE printer, const std::u16string& name, const PpdData& ppd, EXDEVMODE* devmode,
                    std::string* error);

// Applies the options to `devmode`, checked against the description:
// the paper must be one of its papers, brightness and density within its
// ranges. Landscape with device fonts needs page mode, which is then taken.
bool ApplyOptions(const PrintOptions& options, const PpdData& ppd, EXDEVMODE* devmode, std::string* error);

// One line per paper of the description: code, name, printable size.
std::string PaperList(const PpdData& ppd);
