// Eight kiosk processes printing at once, round after round, through
// qorspoold, the monitor chain and qoremu: every job reaches the paper
// exactly once and whole, in its client's order, and nothing else does.
#include "delivery_road.h"

#include <chrono>
#include <cstdio>

using namespace delivery;

namespace {

constexpr int kRounds = 5;
constexpr int kClients = 8;
constexpr int kJobsPerClient = 25;

class DeliveryLoad : public DeliveryRoad {
protected:
    // Runs the rounds and checks every ticket; returns the bytes printed.
    void run_rounds(const char* variant) {
        const auto start = std::chrono::steady_clock::now();
        uint64_t bytes = 0;
        size_t expected = 0;
        for (int round = 0; round < kRounds; ++round) {
            for (int c = 0; c < kClients; ++c)
                for (int j = 0; j < kJobsPerClient; ++j) {
                    JobId id{round, c, j};
                    auto job = job_bytes(id, small_job_rows(id));
                    bytes += job.size();
                    refs_->add(id, job);
                }
            std::vector<qortest::Child> clients;
            for (int c = 0; c < kClients; ++c)
                clients.push_back(qortest::Child::spawn(
                    "modeltest_delivery_client",
                    {kPrinter, std::to_string(round), std::to_string(c), std::to_string(kJobsPerClient)}));
            for (auto& client : clients) EXPECT_EQ(client.wait(std::chrono::seconds(300)), 0);
            expected += kClients * kJobsPerClient;
            ASSERT_TRUE(qoremu::wait_for_tickets(tickets_, expected, std::chrono::seconds(120))) << "round " << round;
            ASSERT_TRUE(qortest::eventually([&] { return jobs_left() == 0; }, std::chrono::seconds(60)));
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        TicketCount count = count_tickets(*refs_, tickets());
        EXPECT_EQ(count.tickets, expected);
        EXPECT_EQ(count.foreign, 0u);
        std::string not_once, out_of_order;
        for (int round = 0; round < kRounds; ++round)
            for (int c = 0; c < kClients; ++c) {
                std::vector<int> in_order;
                for (int j = 0; j < kJobsPerClient; ++j) {
                    in_order.push_back(j);
                    const std::string text = JobId{round, c, j}.text();
                    if (count.printed[text] != 1) not_once += text + " x" + std::to_string(count.printed[text]) + "; ";
                }
                if (count.order[{round, c}] != in_order) out_of_order += JobId{round, c, 0}.text() + "; ";
            }
        EXPECT_EQ(not_once, "");
        EXPECT_EQ(out_of_order, "");
        // Nothing reached the printer as a command it did not expect.
        EXPECT_EQ(stat("unknown"), "0");
        EXPECT_EQ(stat("malformed"), "0");
        EXPECT_GE(stat_number("rx-bytes"), bytes);
        std::printf("%s: %d rounds, %zu jobs, %llu job bytes, %llu bytes at the printer, %llu connections, %.1f s\n",
                    variant, kRounds, expected, static_cast<unsigned long long>(bytes),
                    static_cast<unsigned long long>(stat_number("rx-bytes")),
                    static_cast<unsigned long long>(stat_number("connections")), seconds);
    }
};

}  // namespace

TEST_F(DeliveryLoad, EveryJobOnceWholeAndInOrderOnAPortKeptOpen) {
    start_emulator();
    add_printer("COM1");
    run_rounds("port kept open");
}

TEST_F(DeliveryLoad, EveryJobOnceWholeAndInOrderOnAPortReopenedForEveryJob) {
    start_emulator();
    // A port other than a serial one ends its document at every job start:
    // the emulator's connection closes and a new one opens.
    add_printer("USB001");
    run_rounds("port reopened");
    EXPECT_GE(stat_number("connections"), uint64_t(kRounds * kClients * kJobsPerClient));
}
