// The device fonts' glyph sets: the engine's set for the single-byte code
// page, and the double-byte set carried as a resource of the driver.
#pragma once

#include "pdev.h"

#define GLYPHSET_RESOURCE_TYPE 260
#define GLYPHSET_RESOURCE_ID 1

// The set for the font kind, built on first request and kept by the device.
// The single-byte set is the printer's own character table (setting byte 0):
// code page 437 for the graphics table, the half-width katakana of code page
// 932 for the katakana table, printable ASCII alone for the others.
FD_GLYPHSET* CreateGlyphSet(PDEV* pdev, BOOL double_byte);
// The printer's character table as stored with the printer when it was
// added; the graphics table, the factory setting, when none is stored.
BYTE PrinterCharacterTable(HANDLE printer);
// Loads the double-byte set from the own module's resource.
FD_GLYPHSET* ComputeRVXGlyphSet(PDEV* pdev);
void FreeRVXL2GlyphSet(PDEV* pdev);

// Turns a glyph-set resource into a glyph set in memory (EngFreeMem frees
// it); null for a resource whose counts, runs or handle arrays do not fit.
FD_GLYPHSET* GlyphSetFromResource(const void* data, size_t size);
