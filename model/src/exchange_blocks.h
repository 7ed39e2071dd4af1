// The Data and Reply blocks on the monitor side.
#pragma once

#include "qor/base.h"

#include <cstddef>
#include <functional>

namespace qor::model {

// Appends printer bytes to the Reply block; returns how many were stored
// (0 when the block could not be mapped or locked).
DWORD append_to_reply_block(const BYTE* bytes, size_t count);

// Hands the staged bytes of the Data block to `send` under the block's
// mutex and returns what it reports as written (0 when nothing could be
// staged, mapped or locked).
DWORD drain_data_block(const std::function<DWORD(const BYTE* bytes, DWORD count)>& send);

}  // namespace qor::model
