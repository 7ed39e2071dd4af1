// The monitor side as QORCIL meets it, played by the test: the answers to
// the requests, and the Status, Data and Reply blocks through the real named
// objects.
#pragma once

#include "scripted_spooler.h"

#include "common/blocks_shared.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace ciltest {

using Bytes = std::vector<BYTE>;

class MonitorSide {
public:
    // Creates the Status block and keeps all three mapped, as the model
    // module does.
    MonitorSide();

    Answer answer(const std::string& request);

    void set_status(DWORD status);      // the word a status request leaves
    void set_answers(bool answers);     // false: the printer is silent
    void set_printing(bool printing);   // the printing bit, in the Status block at once
    // Answer of the n-th send request (0-based) with `staged` bytes staged.
    void set_send_answer(std::function<Answer(size_t n, DWORD staged)> answer);
    // Bytes the printer "sends back", queued at every data request.
    void set_reply(Bytes bytes);
    // Runs before each request is answered (to block or count).
    void set_hook(std::function<void(const std::string& request)> hook);

    std::vector<Bytes> staged();  // what each send request found staged

    // The Status block's words as the test sees them.
    qor::blocks::StatusBlock status_block();

private:
    void update_status(bool answered);
    Answer send_data();
    Answer get_data();

    std::mutex mutex_;
    qor::blocks::MappedBlock status_, data_, reply_block_;
    DWORD word_ = 0;
    bool answers_ = true;
    std::vector<Bytes> staged_;
    Bytes reply_;
    std::function<Answer(size_t, DWORD)> send_answer_;
    std::function<void(const std::string&)> hook_;
};

}  // namespace ciltest
