// A child process behind a HANDLE: signalled when it has ended, keeping its
// exit code. The end is seen through a pidfd, so no thread watches it.
#pragma once

#include "kernel_sync.h"
#include "qor/kernel.h"

#include <mutex>
#include <sys/types.h>

namespace qor::process {

class ProcessObject final : public kernel::Waitable {
public:
    ProcessObject(pid_t pid, int pidfd);
    ~ProcessObject() override;
    Try try_acquire() override;
    std::atomic<uint32_t>* generation() override { return &generation_; }
    std::atomic<uint32_t>* sleepers() override { return &sleepers_; }
    // Nothing bumps the generation when the process ends: multi-waits look again.
    bool needs_polling() const override { return true; }
    DWORD wait(const kernel::Deadline& deadline) override;

    pid_t pid() const { return pid_; }
    DWORD exit_code();
    // Kills the process; its exit code is then `code`.
    bool terminate(DWORD code);

private:
    bool reap(bool block_until_end);
    const pid_t pid_;
    const int pidfd_;
    std::mutex lock_;  // guards the reaping
    std::atomic<uint32_t> ended_{0};
    std::atomic<int64_t> forced_code_{-1};
    std::atomic<DWORD> exit_code_{STILL_ACTIVE};
    std::atomic<uint32_t> generation_{0};
    std::atomic<uint32_t> sleepers_{0};
};

}  // namespace qor::process
