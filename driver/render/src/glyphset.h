// The device fonts' glyph sets: the engine's set for the single-byte code
// page, and the double-byte set carried as a resource of the driver.
#pragma once

#include "pdev.h"

#define GLYPHSET_RESOURCE_TYPE 260
#define GLYPHSET_RESOURCE_ID 1

// The set for the font kind, built on first request and kept by the device.
FD_GLYPHSET* CreateGlyphSet(PDEV* pdev, BOOL double_byte);
// Loads the double-byte set from the own module's resource.
FD_GLYPHSET* ComputeRVXGlyphSet(PDEV* pdev);
void FreeRVXL2GlyphSet(PDEV* pdev);

// Turns a glyph-set resource into a glyph set in memory (EngFreeMem frees
// it); null for a resource whose counts, runs or handle arrays do not fit.
FD_GLYPHSET* GlyphSetFromResource(const void* data, size_t size);
