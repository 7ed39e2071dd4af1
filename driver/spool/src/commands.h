// The printer commands of a job: the job start, page start and page end
// sequences and the parameterised commands the band and the text use.
#pragma once

#include "job.h"

#include <cstdint>

// The 22 characters between the parentheses of the identification command.
#define SPL_IDENTIFICATION "QOR ZEM-D Linux driver"

void SendJobStart(SPLJOB* job) noexcept;
// Opens the page buffer and sends the page start commands.
void SendPageStart(SPLJOB* job) noexcept;
// Sends the page end commands, then writes out and frees the page buffer.
void SendPageEnd(SPLJOB* job) noexcept;

void SendPrintDirection(SPLJOB* job, BYTE direction) noexcept;
void SendPrintArea(SPLJOB* job, int64_t x, int64_t y, int64_t dx, int64_t dy) noexcept;
void SendHorizontalPosition(SPLJOB* job, int64_t x) noexcept;
void SendVerticalPosition(SPLJOB* job, int64_t y) noexcept;
// Feeds n dot rows: 1B 4A FF per 255 rows, then the remainder.
void SendFeed(SPLJOB* job, LONG rows) noexcept;
// The raster image command: header, then rows * bytes_per_row bytes in
// pieces of 32768.
void SendRasterImage(SPLJOB* job, const BYTE* data, DWORD bytes_per_row, DWORD rows) noexcept;

bool IsPageMode(const SPLJOB* job) noexcept;
// Landscape is orientation 2 alone, as the rendering driver draws it; any
// other value is drawn, and therefore printed, upright.
bool IsLandscape(const EXDEVMODE& devmode) noexcept;
