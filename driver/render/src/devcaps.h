// What the driver reports to the engine about the device.
#pragma once

#include "pdev.h"

ULONG PickDefaultHTPatSize(DWORD x_dpi, DWORD y_dpi, BOOL smaller);
void FillMyDevCaps(const PDEV* pdev, GDIINFO* caps);
// Fills `info`; FALSE when its palette cannot be created.
BOOL FillMyDevInfo(const PDEV* pdev, DEVINFO* info);
