// Printer replies as the model module meets them: arbitrary bytes in
// arbitrary chunks through the status-back scanner, the real-time split and
// the decoders.
#include "reply_decoder.h"

#include "common/status.h"

using namespace qor::model;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReplyScanner scanner;
    std::array<BYTE, 4> frame{};
    size_t offset = 0;
    while (offset < size) {
        // The first byte of each round picks the chunk length, as reads of
        // any size may split the stream anywhere.
        const size_t chunk = std::min<size_t>(size - offset - 1, data[offset] % 64);
        const BYTE* bytes = data + offset + 1;
        if (scanner.scan(bytes, chunk, frame)) {
            const DWORD status = status_from_status_back(frame.data());
            if (status & ~qor::status::kAllPrinterBits) __builtin_trap();
        }
        std::vector<BYTE> replies, rest;
        split_realtime(bytes, chunk, 4, replies, rest);
        if (replies.size() > 4 || replies.size() + rest.size() != chunk) __builtin_trap();
        if (replies.size() == 4) {
            RealtimeReplies r{replies[0], replies[1], replies[2], replies[3]};
            if (status_from_realtime(r) & ~qor::status::kAllPrinterBits) __builtin_trap();
        }
        offset += chunk + 1;
    }
    return 0;
}
