// A ZEM-D printer on the emulator, installed through the spooler API the
// way an administrator would: the driver files in the driver folder, the
// model module as language monitor, COM1 pointed at the emulator's socket.
// For the end-to-end tests and the wire-time benchmark.
#pragma once

#include <string>

namespace printstack {

// The name the suite's tools look for: driver and printer "QOR ZEM-Dx10P".
inline constexpr const char* kPrinter = "QOR ZEM-Dx10P";
inline constexpr const char* kDriver = "QOR ZEM-Dx10P";
inline constexpr const char* kMonitor = "QOR ZEM-D Monitor";
inline constexpr const char* kPort = "COM1";

// Links the rendering driver, the spooler-side driver, the model module and
// the description file into the driver folder and installs monitor, driver,
// port and printer (bidirectional). `bin_dir`: where the modules were
// built; `data_dir`: the description files. False with a message.
bool InstallPrinter(const std::string& bin_dir, const std::string& data_dir, const std::string& emulator_socket,
                    std::string* error);

// Folder of the running program.
std::string ProgramDir();

}  // namespace printstack
