// Recovery through the whole road: a printer lost in the middle of a raster
// job (killed, or its cable pulled) and a spooler killed at five points of
// a job's sending. Each time the job prints whole once, on a ticket of its
// own, and a partial ticket the printer holds is cut off before it.
#include "common/blocks_shared.h"
#include "common/status.h"
#include "delivery_road.h"
#include "png_image.h"

#include <chrono>
#include <cstdio>
#include <sys/stat.h>

using namespace delivery;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kBigJobRows = 1265;
const std::vector<std::string> kSlowPrinter = {"--print-speed", "100", "--rx-buffer", "2048"};

// True when `partial` is the top of `whole`: same width, shorter, and every
// row alike.
::testing::AssertionResult is_top_of(const std::string& partial, const std::string& whole) {
    emutest::Image top, all;
    std::string error;
    if (!emutest::read_png(partial, &top, &error) || !emutest::read_png(whole, &all, &error))
        return ::testing::AssertionFailure() << error;
    if (top.width != all.width || top.height >= all.height)
        return ::testing::AssertionFailure() << top.width << "x" << top.height << " against " << all.width << "x"
                                             << all.height;
    for (int y = 0; y < top.height; ++y)
        for (int x = 0; x < top.width; ++x)
            if (top.at(x, y) != all.at(x, y))
                return ::testing::AssertionFailure() << "differs at " << x << "," << y << " of " << top.width << "x"
                                                     << top.height;
    return ::testing::AssertionSuccess();
}

class DeliveryRecovery : public DeliveryRoad {
protected:
    // Waits until the printer has taken `bytes` more than `base`.
    void wait_for_printer_to_take(uint64_t base, uint64_t bytes) {
        ASSERT_TRUE(qortest::eventually([&] { return stat_number("rx-bytes") >= base + bytes; },
                                        std::chrono::seconds(30)));
    }
    // Time from now until the spooler shows the printer not answering.
    std::chrono::milliseconds time_to_show_the_loss() {
        const auto lost = Clock::now();
        EXPECT_TRUE(qortest::eventually([&] { return (printer_status() & PRINTER_STATUS_NOT_AVAILABLE) != 0; },
                                        std::chrono::seconds(5)));
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lost);
    }
    // A big job on a slow printer, printing: 40 % of it taken.
    std::vector<uint8_t> big_job_under_way(const JobId& id) {
        start_emulator(kSlowPrinter);
        add_printer("USB001");
        auto job = job_bytes(id, kBigJobRows);
        refs_->add(id, job);
        EXPECT_NE(print(job), 0u);
        wait_for_printer_to_take(0, job.size() * 2 / 5);
        return job;
    }
    void expect_ticket_of(const std::string& ticket, const JobId& id) {
        const JobId* got = refs_->find(file_content(ticket));
        ASSERT_NE(got, nullptr) << ticket;
        EXPECT_EQ(*got, id) << ticket;
    }
    // The status monitor's view: the Status block's no-answer mark.
    static bool block_says_no_answer() {
        auto block = qor::blocks::open_status_block();
        if (!block) return false;
        qor::blocks::BlockLock lock(qor::names::kStatusMutex);
        return lock.held() && (block.as<qor::blocks::StatusBlock>()->control & qor::status::kControlNoConnection);
    }
    std::string job_status_text() {
        std::u16string name = u"ZEM";
        HANDLE printer = nullptr;
        if (!OpenPrinterW(name.data(), &printer, nullptr)) return {};
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0, count = 0;
        std::string text;
        if (EnumJobsW(printer, 0, 1, 1, buffer.data(), DWORD(buffer.size()), &needed, &count) && count == 1)
            if (auto* status = reinterpret_cast<JOB_INFO_1W*>(buffer.data())->pStatus)
                for (; *status; ++status) text.push_back(char(*status));
        ClosePrinter(printer);
        return text;
    }
};

}  // namespace

TEST_F(DeliveryRecovery, EmulatorKilledMidRasterJobShowsTheLossThenPrintsTheJobWhole) {
    const JobId id{0, 0, 0};
    const auto job = big_job_under_way(id);
    kill_emulator();
    const auto shown = time_to_show_the_loss();
    EXPECT_LT(shown, std::chrono::milliseconds(1000));
    EXPECT_TRUE(qortest::eventually([&] { return job_status_text().find("1 interruption") != std::string::npos; }))
        << job_status_text();
    EXPECT_TRUE(qortest::eventually(block_says_no_answer));
    start_emulator();
    ASSERT_TRUE(qoremu::wait_for_tickets(tickets_, 1, std::chrono::seconds(60)));
    ASSERT_TRUE(qortest::eventually([&] { return jobs_left() == 0; }, std::chrono::seconds(30)));
    // The printer that was killed kept nothing; the new one printed the job
    // whole after the recovery sequence.
    const auto printed = tickets();
    ASSERT_EQ(printed.size(), 1u);
    expect_ticket_of(printed[0], id);
    EXPECT_EQ(stat("resyncs"), "1");
    EXPECT_EQ(stat("unknown"), "0");
    EXPECT_TRUE(qortest::eventually([&] { return (printer_status() & PRINTER_STATUS_NOT_AVAILABLE) == 0; }));
    EXPECT_TRUE(qortest::eventually([] { return !block_says_no_answer(); }));
    std::printf("killed printer: loss shown after %lld ms, job of %zu bytes printed whole\n",
                static_cast<long long>(shown.count()), job.size());
}

TEST_F(DeliveryRecovery, PrinterCutOffMidRasterJobCutsThePartialTicketThenPrintsTheJobWhole) {
    const JobId id{0, 1, 0};
    big_job_under_way(id);
    // The cable pulled for a while: the printer keeps what it received.
    control("disconnect 1500");
    const auto shown = time_to_show_the_loss();
    EXPECT_LT(shown, std::chrono::milliseconds(1000));
    ASSERT_TRUE(qoremu::wait_for_tickets(tickets_, 2, std::chrono::seconds(60)));
    ASSERT_TRUE(qortest::eventually([&] { return jobs_left() == 0; }, std::chrono::seconds(30)));
    const auto printed = tickets();
    ASSERT_EQ(printed.size(), 2u);
    EXPECT_TRUE(is_top_of(printed[0], refs_->path(id)));
    expect_ticket_of(printed[1], id);
    EXPECT_EQ(stat("resyncs"), "1");
    EXPECT_EQ(stat("unknown"), "0");
    std::printf("cut-off printer: loss shown after %lld ms\n", static_cast<long long>(shown.count()));
}

TEST_F(DeliveryRecovery, SerialAdapterPulledMidRasterJobAndPluggedBackPrintsTheJobOnceWithoutHelp) {
    const JobId id{0, 2, 0};
    const std::string link = qortest::sandbox() + "/ttyZEM0";
    std::vector<std::string> options = kSlowPrinter;
    options.insert(options.end(), {"--pty", "--pty-link", link});
    start_emulator(options);
    ASSERT_TRUE(spooler_->add_printer(kPrinter, "COM1", link, "QOR ZEM-D"));
    auto job = job_bytes(id, kBigJobRows);
    refs_->add(id, job);
    ASSERT_NE(print(job), 0u);
    wait_for_printer_to_take(0, job.size() * 2 / 5);
    // The adapter pulled: its terminal and name go away, and come back as
    // a new terminal behind the same name.
    control("disconnect 1500");
    const auto shown = time_to_show_the_loss();
    EXPECT_LT(shown, std::chrono::milliseconds(1000));
    auto listed = qortest::run("qorctl", {"printers"});
    EXPECT_NE(listed.out.find("no answer"), std::string::npos) << listed.out;
    EXPECT_TRUE(qortest::eventually(block_says_no_answer));
    ASSERT_TRUE(qoremu::wait_for_tickets(tickets_, 2, std::chrono::seconds(60)));
    ASSERT_TRUE(qortest::eventually([&] { return jobs_left() == 0; }, std::chrono::seconds(30)));
    const auto printed = tickets();
    ASSERT_EQ(printed.size(), 2u);
    EXPECT_TRUE(is_top_of(printed[0], refs_->path(id)));
    expect_ticket_of(printed[1], id);
    EXPECT_EQ(stat("resyncs"), "1");
    struct stat st{};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));  // the emulator's name, never a file the spooler made
    EXPECT_TRUE(qortest::eventually([] { return !block_says_no_answer(); }));
}

TEST_F(DeliveryRecovery, SpoolerKilledAtFivePointsOfASendingPrintsEveryJobOnceAndWhole) {
    start_emulator({"--print-speed", "120", "--rx-buffer", "2048"});
    add_printer("USB001");
    constexpr int kRows = 1000;
    for (int point = 0; point < 5; ++point) {
        SCOPED_TRACE("point " + std::to_string(point));
        const JobId big{point, 0, 0}, second{point, 1, 0}, third{point, 2, 0};
        const auto a = job_bytes(big, kRows);
        refs_->add(big, a);
        refs_->add(second, job_bytes(second, small_job_rows(second)));
        refs_->add(third, job_bytes(third, small_job_rows(third)));
        // Points in the big job, all before its last byte can have left the
        // spooler: once the printer is off line it takes no more than its
        // 2048-byte buffer holds, and the line at most 4096 bytes beyond.
        const uint64_t points[5] = {1, a.size() / 4, a.size() / 2, a.size() * 3 / 4, a.size() - 12000};
        const size_t before = tickets().size();
        const uint64_t base = stat_number("rx-bytes");
        ASSERT_NE(print(a), 0u);
        ASSERT_NE(print(job_bytes(second, small_job_rows(second))), 0u);
        ASSERT_NE(print(job_bytes(third, small_job_rows(third))), 0u);
        wait_for_printer_to_take(base, points[point]);
        control("raise offline");  // the sending stands still where it is
        restart_spooler(true);
        control("clear offline");
        ASSERT_TRUE(qortest::eventually([&] { return jobs_left() == 0; }, std::chrono::seconds(60)));
        // A job leaves the queue when it has reached the printer, which
        // then still prints it: the last one's ticket ends the wait.
        ASSERT_TRUE(qortest::eventually(
            [&] {
                auto all = tickets();
                const JobId* last = all.size() > before ? refs_->find(file_content(all.back())) : nullptr;
                return last && *last == third;
            },
            std::chrono::seconds(30)));
        auto printed = tickets();
        printed.erase(printed.begin(), printed.begin() + long(before));
        // A partial ticket when the printer had printed some of the job.
        ASSERT_TRUE(printed.size() == 3 || printed.size() == 4) << printed.size();
        if (printed.size() == 4) {
            EXPECT_TRUE(is_top_of(printed[0], refs_->path(big)));
            printed.erase(printed.begin());
        }
        const JobId expected[3] = {big, second, third};
        for (size_t i = 0; i < 3; ++i) expect_ticket_of(printed[i], expected[i]);
    }
    EXPECT_EQ(stat("resyncs"), "5");
    EXPECT_EQ(stat("unknown"), "0");
}
