// A printer's own default device mode: the paper of its roll, chosen from
// what the printer reports when it is added and stored as the printer's
// level-2 device mode, where every program that prints starts from it.
#pragma once

#include "common/exdevmode.h"
#include "common/setbank.h"

#include <optional>
#include <string>

namespace qor::defaults {

// Whether the description's paper fits a roll `roll_mm` wide.
bool paper_fits(const PaperMetrix& paper, int roll_mm);

// The paper a roll `roll_mm` wide prints on unless a job asks for another:
// the longest paper of exactly that width, else the widest that fits.
// Null when no paper of the description fits.
const PaperMetrix* default_paper(const PpdData& ppd, int roll_mm);

// The description's defaults (`EngSetDefaultEXDEVMODE`) with the default
// paper of the printer's roll. False when no paper fits the roll.
bool build_devmode(const PpdData& ppd, const std::u16string& printer_name, const setbank::Bytes& settings,
                   EXDEVMODE* devmode);

// The printer's stored device mode, when it is a whole record with valid
// settings.
bool stored_devmode(HANDLE printer, EXDEVMODE* devmode);

// The setting bytes stored with the printer when it was added.
std::optional<setbank::Bytes> stored_settings(HANDLE printer);

// Asks the printer for its settings and stores them with its default
// device mode. `report` says what was found and chosen, or why nothing was
// stored (the printer did not answer, no description, no paper fits);
// false in that case, and the printer keeps the description's defaults.
bool install(HANDLE printer, std::string* report);

}  // namespace qor::defaults
