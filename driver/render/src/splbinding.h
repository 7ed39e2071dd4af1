// The spooler-side module: loaded at document start from the driver
// folder under the description file's Name=, unloaded at document end.
#pragma once

#include "pdev.h"

// Loads the module and binds its five entry points; FALSE when the module
// cannot be loaded (the binding is then empty).
BOOL LoadSplModule(PDEV* pdev);
void UnloadSplModule(PDEV* pdev);
