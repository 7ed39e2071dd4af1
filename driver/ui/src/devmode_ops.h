// Device-mode operations of the interface driver: versions, copies between
// records of different sizes, and merging a caller's record into the
// driver's current one. Callers' records are outside input: they are read
// only as far as their own dmSize and dmDriverExtra reach.
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"

// 0x0320 for a 188-byte public part, 0x0400 for 212, 0x0401 for 220, the
// record's own dmSpecVersion for other sizes; 0 (unusable) without a record
// or when dmSize does not even cover the header up to dmFields.
WORD GetDevModeSpecVersion(const DEVMODEW* devmode);

// Copies the public part and the private part of `source` over those of
// `destination` as far as both reach; the destination keeps its sizes and
// driver version and takes the version its size implies. The bytes copied,
// 0 when either record is unusable.
DWORD CopyDevMode(const DEVMODEW* source, DEVMODEW* destination);

// Hands `current` out into `output`. With the caller's `input`, the output
// takes the smaller of both records' sizes; without it the whole record.
BOOL CopyDevModeOut(const EXDEVMODE& current, const DEVMODEW* input, DEVMODEW* output);

// The first of `count` entries with `code`, or null.
const PaperMetrix* FindPaper(const PaperMetrix* table, WORD count, WORD code);

// Takes what the caller's record asks for (by its dmFields) into `current`
// and keeps the private part in step with the public one. dmCopies is
// always 1. FALSE, with `current` unchanged, for an unusable record.
BOOL MergeDevMode(EXDEVMODE* current, const DEVMODEW* caller, const PpdData& ppd);

// The paper's dmPaperLength/dmPaperWidth for the record's orientation.
void SetPaperExtent(EXDEVMODE* record, const PaperMetrix& paper);
