// The printing road as a kiosk drives it, for the delivery tests: a private
// qorspoold with the ZEM-D chain (QORZEMLM, QORLM2K) on a port pointed at a
// qoremu program started here, the same jobs rendered offline, and every
// ticket checked against those renders dot for dot.
#pragma once

#include "delivery_jobs.h"
#include "device.h"
#include "qoremu/control_client.h"
#include "qortest.h"
#include "spool_testing.h"

#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace delivery {

// Offline renders of jobs by the emulator's own printer, one ticket each.
class References {
public:
    explicit References(const std::string& dir);
    // Renders `bytes` (one job ending in a cut) and remembers its ticket.
    void add(const JobId& id, const std::vector<uint8_t>& bytes);
    // The job whose ticket has exactly this content, or null.
    const JobId* find(const std::string& png) const;
    // The ticket file of a job added before.
    const std::string& path(const JobId& id) const;

private:
    qoremu::Device device_;
    std::unordered_map<std::string, JobId> by_content_;
    std::map<std::string, std::string> path_by_id_;
};

std::string file_content(const std::string& path);

// What a run of tickets held, against the references.
struct TicketCount {
    size_t tickets = 0;
    size_t foreign = 0;                            // matching no job
    std::map<std::string, int> printed;            // job text -> times
    std::map<std::pair<int, int>, std::vector<int>> order;  // (round, client) -> its jobs in ticket order
};
TicketCount count_tickets(const References& refs, const std::vector<std::string>& tickets);

class DeliveryRoad : public ::testing::Test {
protected:
    static constexpr const char* kPrinter = "ZEM";

    void SetUp() override;
    void TearDown() override;

    // qoremu with these extra options (print speed, buffer); a restart keeps
    // the socket and the tickets folder.
    void start_emulator(const std::vector<std::string>& options = {});
    void kill_emulator() { emulator_.kill(9); }
    // qorspoold, afresh; the old one is killed (SIGKILL) when `kill` is set.
    void restart_spooler(bool kill);
    void add_printer(const std::string& port);

    std::string stat(const std::string& key) const;
    uint64_t stat_number(const std::string& key) const { return std::stoull("0" + stat(key)); }
    void control(const std::string& command) const;
    // The printer's status word at level 2; 0xFFFFFFFF when it cannot be read.
    DWORD printer_status() const;
    DWORD jobs_left() const;
    DWORD print(const std::vector<uint8_t>& bytes) const;
    std::vector<std::string> tickets() const;

    std::unique_ptr<qorspool::PrivateSpooler> spooler_;
    qortest::Child emulator_;
    std::vector<std::string> emulator_options_;
    std::string socket_, control_, tickets_;
    std::unique_ptr<References> refs_;
};

}  // namespace delivery
