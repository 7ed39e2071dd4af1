// What the model module keeps per port: the status-back scanner and the
// capture of replies to its own real-time status query.
#pragma once

#include "reply_decoder.h"

#include <memory>
#include <mutex>

namespace qor::model {

class PortState {
public:
    // Called with each chunk the port delivers: replies an open query waits
    // for are taken out, everything else is returned for the Reply block.
    std::vector<BYTE> take_query_replies(const BYTE* bytes, size_t count);
    // Status from a chunk's automatic status back, if it completed a frame.
    bool parse_status_back(const BYTE* bytes, size_t count, DWORD* status);

    // Automatic status back is enabled with a job's first bytes, or by the
    // recovery sequence that precedes them, so that nothing is written into
    // a command an interrupted attempt left unfinished before that sequence.
    void set_status_back_due(bool due);
    bool take_status_back_due();

    void begin_query(size_t replies_wanted);
    bool query_complete();
    // Replies the open query still waits for.
    size_t replies_missing();
    // Ends the query; true with the replies when all of them came.
    bool end_query(RealtimeReplies& replies);

private:
    std::mutex mutex_;
    ReplyScanner scanner_;
    size_t wanted_ = 0;
    std::vector<BYTE> captured_;
    bool status_back_due_ = false;
};

// The state of a port, created on first use; kept until forget_port.
std::shared_ptr<PortState> port_state(HANDLE port);
void forget_port(HANDLE port);

}  // namespace qor::model
