// The job record: one per document, behind the handle DrvSplStartDoc
// returns. Holds pointers, so its size differs from the 32-bit original;
// the field order is kept.
#pragma once

#include "common/exdevmode.h"
#include "diffusion.h"
#include "qor/base.h"

#define SPLJOB_SIGNATURE 0x4A4C5053u  // "SPLJ"

#define JOB_CREATED 0x1
#define JOB_ENDED 0x2
#define JOB_ABORTED 0x4
#define JOB_BAND_NEXT 0x8          // the next write carries the grey page image
#define JOB_OUTPUT_FAILED 0x100    // a write to the printer failed; later records are refused
#define JOB_PAGE_OPEN 0x200        // between a page's type-1 and type-2 records
#define JOB_KANJI_ON 0x10000       // double-byte character mode is on at the printer

#define PAGE_BUFFER_SIZE 32768

struct TextNode;

struct PageBuffer {
    HGLOBAL memory = nullptr;
    BYTE* base = nullptr;
    DWORD position = 0;  // where the next byte goes
    DWORD count = 0;     // bytes held
};

struct SPLJOB {
    DWORD signature = SPLJOB_SIGNATURE;
    HANDLE printer = nullptr;
    DWORD job_id = 0;
    DWORD flags = JOB_CREATED;
    DWORD page_count = 0;  // type-1 records handled; 0: job start commands still due
    DWORD start_pages = 0;
    DWORD end_pages = 0;
    LONG last_x = -1;
    LONG last_y = -1;
    EXDEVMODE devmode{};
    PageBuffer page;
    WORD last_type = 0;
    DWORD last_length = 0;
    // Kept per job (the original kept them per process, which let two
    // documents printing at once in one process mix their text and errors).
    TextNode* text_queue = nullptr;
    DiffusionState diffusion;
};
