#include "replies.h"

#include "exchange_blocks.h"
#include "port_states.h"
#include "status_block_writer.h"

namespace qor::model {

void deliver_reply_bytes(HANDLE port, const BYTE* bytes, size_t count) {
    const auto rest = port_state(port)->take_query_replies(bytes, count);
    append_to_reply_block(rest.data(), rest.size());
}

bool parse_reply_status(HANDLE port, const BYTE* bytes, size_t count, DWORD* status) {
    DWORD word = 0;
    if (!port_state(port)->parse_status_back(bytes, count, &word)) return false;
    store_printer_status(word);
    *status = word;
    return true;
}

}  // namespace qor::model
