// Reducing the 24-bit band to 8-bit grey with the device's brightness.
#pragma once

#include "qor/base.h"

#include <cstddef>

// T[i] = i + (Bright - 150) clamped to 0..255 (the offset read as a signed
// byte: (Bright + 106) mod 256).
void BuildBrightnessTable(BYTE bright, BYTE table[256]);
// Converts `height` rows of `width` pixels in place: source rows of 3w bytes
// and destination rows of w bytes, each rounded up to 4; white stays 255,
// others (21 T[b] + 69 T[g] + 10 T[r]) / 100.
void ConvertBandToGrey(BYTE* bits, DWORD width, DWORD height, const BYTE table[256]);
void ClearBandBuffer(BYTE* bits, size_t size);
DWORD GreyStride(DWORD width);
DWORD ColourStride(DWORD width);
