// The comparison of a serial printer's line settings (setting byte 3) with
// the host's default configuration of the printer's port.
#pragma once

#include "qor/monitor.h"

#include <string>
#include <string_view>

namespace custom {

// The mismatch message of the first field that differs, in the order speed,
// flow control, stop bits, data bits, parity; empty when all agree.
std::string serial_mismatch(BYTE byte3, const DCB& host);

// The host's default configuration of `port` (COM10 is COM10, not COM1:
// the whole name is looked up). False when the system has none.
bool host_port_config(std::string_view port, DCB* dcb);

}  // namespace custom
