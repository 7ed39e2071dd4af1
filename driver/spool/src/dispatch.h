// DrvSplWritePrinter's work: one job-stream record per call, or the grey
// page image after a band record.
#pragma once

#include "job.h"

BOOL DispatchWrite(SPLJOB* job, const BYTE* buffer, DWORD length, DWORD* written) noexcept;
// Releases what a page holds (text queue, error lines, page buffer) without
// sending anything: for a job closed in the middle of a page.
void ReleasePage(SPLJOB* job) noexcept;
