#include "monitor_side.h"

#include "common/status.h"

namespace ciltest {

namespace blocks = qor::blocks;
namespace names = qor::names;

MonitorSide::MonitorSide()
    : status_(blocks::create_status_block(16)),
      data_(blocks::map_exchange_block(names::kDataBlock)),
      reply_block_(blocks::map_exchange_block(names::kReplyBlock)) {}

void MonitorSide::set_status(DWORD status) {
    std::lock_guard lock(mutex_);
    word_ = status;
}

void MonitorSide::set_answers(bool answers) {
    std::lock_guard lock(mutex_);
    answers_ = answers;
}

// Printing is kept across status requests, as the model module keeps what
// status back last reported.
void MonitorSide::set_printing(bool printing) {
    DWORD word;
    {
        std::lock_guard lock(mutex_);
        word_ = printing ? (word_ | qor::status::kPrinting) : (word_ & ~qor::status::kPrinting);
        word = word_;
    }
    blocks::BlockLock lock(names::kStatusMutex);
    blocks::write_status(*status_.as<blocks::StatusBlock>(), word);
}

void MonitorSide::set_send_answer(std::function<Answer(size_t, DWORD)> answer) {
    std::lock_guard lock(mutex_);
    send_answer_ = std::move(answer);
}

void MonitorSide::set_reply(Bytes bytes) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(bytes);
}

void MonitorSide::set_hook(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

std::vector<Bytes> MonitorSide::staged() {
    std::lock_guard lock(mutex_);
    return staged_;
}

blocks::StatusBlock MonitorSide::status_block() {
    blocks::BlockLock lock(names::kStatusMutex);
    return *status_.as<blocks::StatusBlock>();
}

void MonitorSide::update_status(bool answered) {
    DWORD word;
    {
        std::lock_guard lock(mutex_);
        word = word_;
    }
    blocks::BlockLock lock(names::kStatusMutex);
    auto* block = status_.as<blocks::StatusBlock>();
    if (answered) blocks::write_status(*block, word);
    blocks::set_no_connection(*block, !answered);
}

Answer MonitorSide::send_data() {
    Bytes bytes;
    {
        blocks::BlockLock lock(names::kDataMutex);
        const BYTE* staged = nullptr;
        const DWORD count = blocks::data_staged(*data_.as<blocks::DataBlock>(), &staged);
        bytes.assign(staged, staged + count);
    }
    std::function<Answer(size_t, DWORD)> answer;
    size_t n;
    {
        std::lock_guard lock(mutex_);
        n = staged_.size();
        staged_.push_back(bytes);
        answer = send_answer_;
    }
    return answer ? answer(n, DWORD(bytes.size())) : Answer{0, DWORD(bytes.size())};
}

Answer MonitorSide::get_data() {
    Bytes bytes;
    {
        std::lock_guard lock(mutex_);
        bytes = reply_;
    }
    blocks::BlockLock lock(names::kReplyMutex);
    blocks::reply_append(*reply_block_.as<blocks::ReplyBlock>(), bytes.data(), bytes.size());
    return Answer{0, DWORD(bytes.size())};
}

Answer MonitorSide::answer(const std::string& request) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(mutex_);
        hook = hook_;
    }
    if (hook) hook(request);
    bool answers;
    DWORD word;
    {
        std::lock_guard lock(mutex_);
        answers = answers_;
        word = word_;
    }
    if (request == names::kRequestCheckConnection) {
        update_status(answers);
        return Answer{0, answers ? 1u : 0u};
    }
    if (request == names::kRequestGetStatus || request == names::kRequestGetHistory) {
        update_status(answers);
        return Answer{0, word};
    }
    if (request == names::kRequestSendData) return send_data();
    if (request == names::kRequestGetData) return get_data();
    return Answer{};
}

}  // namespace ciltest
