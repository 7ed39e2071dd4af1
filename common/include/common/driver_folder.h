// Files in the "3" subfolder of the spooler's printer-driver directory,
// where both drivers find their description files.
#pragma once

#include "qor/base.h"

#include <string>

// driver directory + "\3\" + name; empty when the spooler gives no directory.
std::u16string DriverFilePath(const char16_t* name);
