// The qorctl commands. Each takes the arguments after its name and returns
// the exit code.
#pragma once

#include "cli.h"

namespace qorctl {

// Listings; `json` gives one JSON document instead of a table.
int list_printers(const Args& a, bool json);
int list_jobs(const Args& a, bool json);
int list_ports(const Args& a);
int list_drivers(const Args& a);
int list_monitors(const Args& a);

// Printers.
int add_printer(const Args& a);
int remove_printer(const Args& a);
int set_printer(const Args& a);
// pause, resume, purge: `what` names the action in messages ("pausing").
int printer_command(const Args& a, const char* command, DWORD control, const char* what);
// The device sheet of the printer's interface driver.
int printer_properties(const Args& a);

// The CUPS queue of a printer (through qorcups).
int cups_add(const Args& a);

// Jobs.
int cancel_job(const Args& a);
int print_file(const Args& a);

// Ports, drivers and monitors.
int configure_port(const Args& a, bool add);
int remove_port(const Args& a);
int add_driver(const Args& a);
int remove_driver(const Args& a);
int add_monitor(const Args& a);
int remove_monitor(const Args& a);

// Attribute names for set-printer and the listing.
DWORD attribute_bit(const std::string& name);
std::vector<std::string> attribute_names(DWORD attributes);

}  // namespace qorctl
