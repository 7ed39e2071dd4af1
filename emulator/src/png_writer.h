// Tickets as PNG files: 1-bit greyscale, ink black, 203 dpi.
#pragma once

#include <string>

#include "bitmap.h"

namespace qoremu {

// Writes to a temporary name and renames it into place, so a reader never
// sees a half-written ticket.
bool write_png(const std::string& path, const Bitmap& bitmap, std::string* error);

}  // namespace qoremu
