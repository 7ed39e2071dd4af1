// Decoding what the printer sends back, automatic status back frames (4
// bytes) and real-time status replies (1 byte each), into the printer status
// word. Any other byte (setting replies, answers the application asked for)
// is passed on untouched.
#pragma once

#include "qor/base.h"

#include <array>
#include <cstddef>
#include <vector>

namespace qor::model {

// Real-time status replies to DLE EOT 1..4, in request order.
using RealtimeReplies = std::array<BYTE, 4>;

DWORD status_from_status_back(const BYTE frame[4]);
DWORD status_from_realtime(const RealtimeReplies& replies);

inline bool is_realtime_reply(BYTE b) { return (b & 0x93) == 0x12; }

// Takes up to `wanted` real-time replies out of a chunk; every other byte
// goes to `rest`, in order.
void split_realtime(const BYTE* bytes, size_t count, size_t wanted, std::vector<BYTE>& replies,
                    std::vector<BYTE>& rest);

// Finds automatic status back frames in the reply stream. A frame cut off
// at the end of a chunk is kept and completed by the next chunk.
class ReplyScanner {
public:
    // True with the latest complete frame in `frame` when the chunk
    // completed at least one.
    bool scan(const BYTE* bytes, size_t count, std::array<BYTE, 4>& frame);

private:
    std::array<BYTE, 3> carry_{};
    size_t carry_count_ = 0;
};

}  // namespace qor::model
