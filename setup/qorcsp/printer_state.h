// The state qorcsp serves: every ZEM-D printer with the spooler's status
// word, and the conditions of the Status block, read fresh on each request.
#pragma once

#include "qor/base.h"

#include <optional>
#include <string>
#include <vector>

namespace qorcsp {

struct PrinterState {
    std::string printer;
    std::string driver;
    DWORD spooler_status = 0;
    std::optional<DWORD> block_status;  // the Status block's word, when filled
    // Condition names of the Status block's word (of the spooler's when the
    // block has none).
    std::vector<std::string> conditions;
};

// False when the printer list cannot be read.
bool read_states(std::vector<PrinterState>& states);

// {"printers":[{"name":...,"driver":...,"status":16,"block_status":16,"conditions":["paper out"]}]}
std::string render_json(const std::vector<PrinterState>& states, bool list_ok);
// Text metrics, one line per printer and condition.
std::string render_metrics(const std::vector<PrinterState>& states, bool list_ok);

}  // namespace qorcsp
