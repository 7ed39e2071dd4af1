// ACCELTABLEENTRY records of 8 bytes, the last marked with 0x80.
#include "rc_templates.h"

namespace qorrc {

std::vector<unsigned char> write_accelerators(const std::vector<Accelerator>& table) {
    constexpr size_t entry_size = 8;
    Bytes out;
    for (size_t k = 0; k < table.size(); ++k) {
        out.u16(static_cast<uint16_t>(table[k].flags | (k + 1 == table.size() ? accel_last : 0)));
        out.u16(table[k].key);
        out.u16(table[k].id);
        out.u16(0);
    }
    if (out.size() != table.size() * entry_size) throw Failure{"accelerator layout"};
    return std::move(out.data());
}

}  // namespace qorrc
