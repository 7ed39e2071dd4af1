// The printer emulator as a device kind of the port monitor: ports
// configured "emu:<socket>" talk to qoremu over its socket. Kept out of the
// production port monitor; the programs that serve the emulator register it.
#pragma once

namespace qor::spooler {

// Registers the "emu:" kind; call once at start, before any port opens.
void register_emulator_device_kind();

}  // namespace qor::spooler
