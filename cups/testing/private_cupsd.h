// A CUPS scheduler of the test's own: configuration, spool, cache and
// state folders and a local socket in the sandbox, the suite's backend in
// its program folder, the system's filters. The system's cupsd is never
// touched; the scheduler is stopped when the object goes.
#pragma once

#include "qortest.h"

#include <chrono>
#include <string>
#include <vector>

namespace qorcupstest {

struct CupsJob {
    int state = 0;        // IPP job state: 3 pending ... 7 cancelled, 8 aborted, 9 completed
    std::string message;  // job-printer-state-message
    int pages = 0;        // job-media-sheets-completed
};

class PrivateCupsd {
public:
    PrivateCupsd();
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    // Empty when the scheduler runs; else why it cannot run on this machine.
    const std::string& unavailable() const { return unavailable_; }
    const std::string& socket() const { return socket_; }

    // Runs a CUPS command-line program (lp, lpstat, lpadmin) against this
    // scheduler.
    qortest::Output run(const std::string& program, const std::vector<std::string>& args) const;
    // `lp -d queue options... file`: the CUPS job id, 0 when refused.
    int submit(const std::string& queue, const std::vector<std::string>& options, const std::string& file) const;
    CupsJob job(int id) const;
    // Waits until the job is completed, cancelled or aborted.
    CupsJob wait_done(int id, std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;
    // The scheduler's log lines about jobs, and its errors.
    std::string error_log() const;
    void stop();

private:
    bool start(std::string* why);
    std::string folder_, socket_, unavailable_;
    qortest::Child cupsd_;
};

}  // namespace qorcupstest
