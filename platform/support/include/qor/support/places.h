// Where the suite keeps its state; read from the environment on every call
// so a test can point a process at fresh folders.
//
// Two installations exist side by side: the per-user one (the default, for
// development and tests) and the system-wide one that qorspoold --system
// serves to the members of the `qor` group.
#pragma once

#include <string>

namespace qor::places {

// File name of the spooler's socket inside a runtime folder.
inline constexpr const char* kSpoolerSocketName = "qorspoold.sock";

// Machine registry, driver folder, spool folder: $QOR_ROOT, else the
// system installation's when system_mode(), else $XDG_DATA_HOME/qor, else
// ~/.local/share/qor.
std::string root();
// Kernel objects and the spooler's socket: $QOR_RUNTIME_DIR, else the
// system installation's when system_mode(), else $XDG_RUNTIME_DIR/qor, else
// /tmp/qor-<uid>.
std::string runtime_dir();
// The user hive: $XDG_CONFIG_HOME/qor, else ~/.config/qor.
std::string config_dir();

// The system installation's folders: $QOR_SYSTEM_ROOT, else /var/lib/qor;
// $QOR_SYSTEM_RUNTIME_DIR, else /run/qor.
std::string system_root();
std::string system_runtime_dir();

// Whether this process works against the system installation. QOR_MODE
// ("system" or "user") decides when set; an own QOR_ROOT or QOR_RUNTIME_DIR
// means the per-user one. Otherwise the system installation is used when
// its spooler socket exists and the user has set up no machine registry of
// their own.
bool system_mode();

// Modes for what the suite creates: private to the user in per-user mode;
// in system mode folders are readable (the system root's own mode keeps
// strangers out) and the named-object namespace is shared with the group.
unsigned folder_mode();
unsigned object_folder_mode();
unsigned object_file_mode();

// Creates a folder and its parents; true when it exists afterwards.
bool ensure_dir(const std::string& path, unsigned mode = folder_mode());

}  // namespace qor::places
