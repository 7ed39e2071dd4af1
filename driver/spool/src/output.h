// Printer output of a job: the 32768-byte page buffer and the writes to the
// spooler with WritePrinter on the job's printer handle.
#pragma once

#include "job.h"

// The call that delivers bytes to the spooler; WritePrinter unless a test
// or benchmark in this folder puts a recorder in its place.
using PrinterWrite = BOOL (*)(HANDLE printer, LPVOID buffer, DWORD size, LPDWORD written);
void SetPrinterWrite(PrinterWrite write) noexcept;

// Writes straight to the printer, all of it or nothing more after a
// failure; a failure marks the job JOB_OUTPUT_FAILED and keeps the error.
bool WriteDirect(SPLJOB* job, const void* bytes, DWORD size) noexcept;

// Through the page buffer: a write that would bring it above 32767 bytes
// first writes out what is held; a write of a whole 32768-byte piece then
// goes straight out; anything else is appended. Unbuffered without a page
// buffer.
void Emit(SPLJOB* job, const void* bytes, DWORD size) noexcept;

// Allocates the page buffer (a page without one is written unbuffered).
void OpenPageBuffer(SPLJOB* job) noexcept;
// Writes out what the page buffer holds.
void FlushPageBuffer(SPLJOB* job) noexcept;
// Writes out and frees the page buffer.
void ClosePageBuffer(SPLJOB* job) noexcept;
