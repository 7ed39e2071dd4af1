// The five halftoning methods: one grey row (0 black .. 255 white) in, one
// row of bits out, first pixel in bit 0x80, a last partial byte padded with
// zero bits. Each is a single integer pass without allocation.
#pragma once

#include "qor/base.h"

struct DiffusionState;

#define DITHER_THRESHOLD 1
#define DITHER_CLUSTERED 2
#define DITHER_DISPERSED 3
#define DITHER_PATTERNS 4
#define DITHER_DIFFUSION 5

// Writes (width + 7) / 8 bytes of `out`; true when any bit is set. Only the
// error diffusion uses `diffusion` (which must hold lines for `width`).
using HalftoneRow = bool (*)(const BYTE* grey, BYTE* out, LONG width, LONG y,
                             DiffusionState* diffusion) noexcept;

// The method of a device mode's dmDitherType; types outside 1..5 print
// with the threshold, so a page never comes out blank for a stray value.
HalftoneRow HalftoneForDitherType(DWORD dither_type) noexcept;

bool HalftoneThreshold(const BYTE* grey, BYTE* out, LONG width, LONG y, DiffusionState*) noexcept;
bool HalftoneClustered(const BYTE* grey, BYTE* out, LONG width, LONG y, DiffusionState*) noexcept;
bool HalftoneDispersed(const BYTE* grey, BYTE* out, LONG width, LONG y, DiffusionState*) noexcept;
bool HalftonePatterns(const BYTE* grey, BYTE* out, LONG width, LONG y, DiffusionState*) noexcept;
bool HalftoneDiffusion(const BYTE* grey, BYTE* out, LONG width, LONG y,
                       DiffusionState* diffusion) noexcept;
