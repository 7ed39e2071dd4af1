// Limits of the text records the rendering driver writes; the record layout
// itself is shared with the spooler-side driver.
#pragma once

#include "common/jobstream.h"

#define TEXT_MAX_ITEM_BYTES 4036  // a full record: 337 items

static_assert(sizeof(TextRecordHeader) + TEXT_MAX_ITEM_BYTES + sizeof(TextItem) <= 4096);
