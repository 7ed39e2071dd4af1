#include "port_states.h"

#include <map>
#include <utility>

namespace qor::model {

std::vector<BYTE> PortState::take_query_replies(const BYTE* bytes, size_t count) {
    std::lock_guard lock(mutex_);
    std::vector<BYTE> rest;
    if (captured_.size() < wanted_)
        split_realtime(bytes, count, wanted_ - captured_.size(), captured_, rest);
    else
        rest.assign(bytes, bytes + count);
    return rest;
}

bool PortState::parse_status_back(const BYTE* bytes, size_t count, DWORD* status) {
    std::lock_guard lock(mutex_);
    std::array<BYTE, 4> frame;
    if (!scanner_.scan(bytes, count, frame)) return false;
    *status = status_from_status_back(frame.data());
    return true;
}

void PortState::set_status_back_due(bool due) {
    std::lock_guard lock(mutex_);
    status_back_due_ = due;
}

bool PortState::take_status_back_due() {
    std::lock_guard lock(mutex_);
    return std::exchange(status_back_due_, false);
}

void PortState::begin_query(size_t replies_wanted) {
    std::lock_guard lock(mutex_);
    wanted_ = replies_wanted;
    captured_.clear();
}

bool PortState::query_complete() {
    std::lock_guard lock(mutex_);
    return captured_.size() >= wanted_;
}

size_t PortState::replies_missing() {
    std::lock_guard lock(mutex_);
    return captured_.size() < wanted_ ? wanted_ - captured_.size() : 0;
}

bool PortState::end_query(RealtimeReplies& replies) {
    std::lock_guard lock(mutex_);
    const bool complete = wanted_ == replies.size() && captured_.size() == replies.size();
    if (complete) std::copy(captured_.begin(), captured_.end(), replies.begin());
    wanted_ = 0;
    captured_.clear();
    return complete;
}

namespace {

std::mutex g_mutex;
std::map<HANDLE, std::shared_ptr<PortState>> g_states;

}  // namespace

std::shared_ptr<PortState> port_state(HANDLE port) {
    std::lock_guard lock(g_mutex);
    auto& state = g_states[port];
    if (!state) state = std::make_shared<PortState>();
    return state;
}

void forget_port(HANDLE port) {
    std::lock_guard lock(g_mutex);
    g_states.erase(port);
}

}  // namespace qor::model
