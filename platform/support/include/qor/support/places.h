// Where the suite keeps its state; read from the environment on every call
// so a test can point a process at fresh folders.
#pragma once

#include <string>

namespace qor::places {

// Machine registry, driver folder, spool folder: $QOR_ROOT, else
// $XDG_DATA_HOME/qor, else ~/.local/share/qor.
std::string root();
// Kernel objects and the spooler's socket: $QOR_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/qor, else /tmp/qor-<uid>.
std::string runtime_dir();
// The user hive: $XDG_CONFIG_HOME/qor, else ~/.config/qor.
std::string config_dir();

// Creates a folder and its parents; true when it exists afterwards.
bool ensure_dir(const std::string& path, unsigned mode = 0700);

}  // namespace qor::places
