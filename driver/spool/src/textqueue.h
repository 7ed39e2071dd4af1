// Text records of a standard-mode page wait here until the band reaches
// their top row: ordered by top y, then by x, equal keys in arrival order.
#pragma once

#include "job.h"

struct TextNode {
    LONG x;
    LONG top;
    BYTE* record;  // copy of the whole text record
    DWORD size;
    TextNode* next;
};

// Copies `size` bytes of a text record into a new node; false when memory
// runs out (the text is then lost and the caller reports it).
bool QueueText(SPLJOB* job, const BYTE* record, DWORD size) noexcept;
// Unlinks the head; the caller frees it with FreeTextNode.
TextNode* PopText(SPLJOB* job) noexcept;
void FreeTextNode(TextNode* node) noexcept;
void ClearTextQueue(SPLJOB* job) noexcept;
