// The status bytes and their meaning follow docs/printer-protocol.md §1.
#include "reply_decoder.h"

#include "common/status.h"

#include <algorithm>

namespace qor::model {

namespace {

namespace st = qor::status;

bool is_status_back_start(BYTE b) { return (b & 0x93) == 0x10; }
bool is_status_back_follow(BYTE b) { return (b & 0x90) == 0; }

// Off line counts only when nothing else explains it: the printer was put
// off line by its switch or by the host.
DWORD with_offline(DWORD status, bool offline_bit) {
    constexpr DWORD explaining = st::kCoverOpen | st::kPaperOut | st::kPaperJam | st::kCutterError |
                                 st::kFatalError | st::kAutoRecoverError;
    if (offline_bit && !(status & explaining)) status |= st::kOffline;
    return status;
}

}  // namespace

DWORD status_from_status_back(const BYTE frame[4]) {
    DWORD status = 0;
    if (frame[0] & 0x20) status |= st::kCoverOpen;
    if (frame[1] & 0x04) status |= st::kPaperJam;
    if (frame[1] & 0x08) status |= st::kCutterError;
    if (frame[1] & 0x20) status |= st::kFatalError;
    if (frame[1] & 0x40) status |= st::kAutoRecoverError;
    if (frame[2] & 0x03) status |= st::kPaperNearEnd;
    if (frame[2] & 0x0C) status |= st::kPaperOut;
    if (frame[3] & 0x01) status |= st::kPrinting;
    return with_offline(status, frame[0] & 0x08);
}

DWORD status_from_realtime(const RealtimeReplies& r) {
    DWORD status = 0;
    if (r[1] & 0x04) status |= st::kCoverOpen;
    if (r[1] & 0x20) status |= st::kPaperOut;
    if (r[2] & 0x04) status |= st::kPaperJam;
    if (r[2] & 0x08) status |= st::kCutterError;
    if (r[2] & 0x20) status |= st::kFatalError;
    if (r[2] & 0x40) status |= st::kAutoRecoverError;
    if (r[3] & 0x0C) status |= st::kPaperNearEnd;
    if (r[3] & 0x60) status |= st::kPaperOut;
    return with_offline(status, r[0] & 0x08);
}

void split_realtime(const BYTE* bytes, size_t count, size_t wanted, std::vector<BYTE>& replies,
                    std::vector<BYTE>& rest) {
    for (size_t i = 0; i < count; ++i) {
        if (replies.size() < wanted && is_realtime_reply(bytes[i]))
            replies.push_back(bytes[i]);
        else
            rest.push_back(bytes[i]);
    }
}

bool ReplyScanner::scan(const BYTE* bytes, size_t count, std::array<BYTE, 4>& frame) {
    std::vector<BYTE> stream(carry_.begin(), carry_.begin() + carry_count_);
    stream.insert(stream.end(), bytes, bytes + count);
    carry_count_ = 0;
    bool found = false;
    size_t i = 0;
    while (i < stream.size()) {
        if (!is_status_back_start(stream[i])) {
            ++i;
            continue;
        }
        size_t n = 1;
        while (n < 4 && i + n < stream.size() && is_status_back_follow(stream[i + n])) ++n;
        if (n == 4) {
            found = true;
            std::copy_n(stream.begin() + i, 4, frame.begin());
            i += 4;
        } else if (i + n == stream.size()) {  // cut off by the chunk's end
            carry_count_ = n;
            std::copy_n(stream.begin() + i, n, carry_.begin());
            break;
        } else {
            ++i;
        }
    }
    return found;
}

}  // namespace qor::model
