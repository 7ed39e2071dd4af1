#include "conditions.h"

namespace status {

std::span<const ConditionRow> condition_rows() {
    // Bits of the printer status word the status monitor watches.
    static constexpr ConditionRow rows[] = {
        {"A printer is off-line condition.", 0x00000080, Mask::Raised},
        {"Cover of the printer-head is open.", 0x00400000, Mask::Raised},
        {"Paper is jammed in the printer.", 0x00000008, Mask::Raised},
        {"Printer is in an auto cutter error state.", 0x20000000, Mask::Raised},
        {"A printer is in a fatal error state.", 0x00000002, Mask::Raised},
        {"A printer is near end of paper.", 0x40000000, Mask::Raised},
        {"A printer is out of paper.", 0x00000010, Mask::Raised},
    };
    return rows;
}

}  // namespace status
