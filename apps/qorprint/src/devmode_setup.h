// The device mode of a job: the printer's own settings first, then what the
// user asked for on the command line.
#pragma once

#include "options.h"

#include "common/exdevmode.h"
#include "common/ppd.h"
#include "common/setbank.h"
#include "qor/spooler.h"

#include <optional>
#include <string>

// The printer's stored device mode when it carries valid settings; else
// the defaults for the printer's roll (its setting bytes as stored when it
// was added, else as it reports them now); else the description's
// defaults. The printer's FONT, CUTTER and PAGEMODE data then apply, as the
// interface driver applies them, and the code page is this program's.
// `settings` receives the setting bytes when they are known.
bool PrinterDevmode(HANDLE printer, const std::u16string& name, const PpdData& ppd, EXDEVMODE* devmode,
                    std::optional<qor::setbank::Bytes>* settings, std::string* error);

// Applies the options to `devmode`, checked against the description and the
// printer's roll (`roll_mm`, when known): the paper must be one of the
// description's and fit the roll, brightness and density within the
// description's ranges. Landscape with device fonts needs page mode, which
// is then taken.
bool ApplyOptions(const PrintOptions& options, const PpdData& ppd, std::optional<int> roll_mm, EXDEVMODE* devmode,
                  std::string* error);

// Shows the printer's document sheet with `devmode`; on OK `devmode` becomes
// the edited record. False with a message on Cancel (`cancelled` set) or
// when the sheet cannot be shown.
bool AskProperties(const std::u16string& name, EXDEVMODE* devmode, bool* cancelled, std::string* error);

// One line per paper the printer's driver offers (DeviceCapabilitiesW)
// that fits the roll: code, name, size. The user-defined paper is left out,
// as --paper cannot name it. False with a message when the driver does not
// answer or its lists disagree.
bool PaperList(const std::u16string& printer, std::optional<int> roll_mm, std::string* text, std::string* error);
