// Device-mode conversion between the platform's record versions, as
// DrvConvertDevMode does it once the description is loaded. `*size` is the
// caller's in/out byte count; `out` must hold that many bytes.
#pragma once

#include "common/ppd.h"
#include "qor/devmode.h"

BOOL ConvertDevMode(LPWSTR printer_name, DEVMODEW* in, DEVMODEW* out, LONG* size, DWORD mode, const PpdData& ppd);
