// The status monitor over a long run: QORSM (offscreen) watching a ZEM-D on
// an emulator port whose paper-out condition a script toggles every 300 ms.
// Counts the changes the Status block showed (sampled every 20 ms beside
// the monitor) against the box's announcements, and gives QORSM's resident
// memory before and after and its CPU share while toggling and while idle.
//   QOR_SOAK_SECONDS=600 bench_monitor_soak   (600 by default; own sandbox)
#include "notify_settings.h"
#include "status_watcher.h"

#include "common/status.h"
#include "monitor_printer.h"

#include "qor/registry.h"
#include "process_cpu.h"

#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::string read_file(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

long rss_kib(pid_t pid) {
    std::istringstream lines(read_file("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

size_t count(const std::string& text, const std::string& line) {
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + line.size())) ++n;
    return n;
}

}  // namespace

TEST(MonitorSoak, ToggledPaperOut) {
    const char* configured = std::getenv("QOR_SOAK_SECONDS");
    const int seconds = configured ? std::atoi(configured) : 600;
    qorspool::PrivateSpooler spooler;
    const std::string dir = qortest::sandbox();
    qorsmtest::MonitorPrinter printer;
    ASSERT_TRUE(printer.start(spooler, dir));
    ASSERT_TRUE(printer.print_one_job());
    const DWORD paper_out = qor::status::kPaperOut;
    qorsmtest::WriteMasks(paper_out, paper_out);

    const std::string log = dir + "/ui.log";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QOR_UI_LOG", log.c_str(), 1);
    auto monitor = qortest::Child::spawn(qortest::bin_dir() + "/QORSM", {"/P:ZEM"});
    ASSERT_TRUE(qortest::eventually([&] { return read_file(log).find("@tray|add|") != std::string::npos; }, 10s));
    // One change and its recovery first: the box's first showing loads what
    // every later one reuses.
    printer.control("raise paper-out");
    ASSERT_TRUE(qortest::eventually([&] { return read_file(log).find("@popup|persistent|") != std::string::npos; }, 10s));
    printer.control("clear paper-out");
    ASSERT_TRUE(qortest::eventually([&] { return read_file(log).find("@popup|closed|") != std::string::npos; }, 10s));
    const size_t warm_up = read_file(log).size();
    const long rss_before = rss_kib(monitor.pid());
    const double cpu_before = benchcpu::cpu_seconds(monitor.pid());

    // What the Status block shows, sampled far faster than the monitor looks.
    std::mutex lock;
    qor::statmon::CStatusWatcher sampler(lock);
    ASSERT_TRUE(sampler.attach());
    size_t block_changes = 0;
    DWORD shown = 0, status = 0, control_word = 0;
    bool toggled = false;
    auto next_toggle = Clock::now();
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    const auto settle = end + 3s;  // the last change reaches the box
    while (Clock::now() < settle) {
        if (Clock::now() < end && Clock::now() >= next_toggle) {
            toggled = !toggled;
            printer.control(toggled ? "raise paper-out" : "clear paper-out");
            next_toggle += 300ms;
        } else if (Clock::now() >= end && toggled) {
            toggled = false;  // ends with the paper back
            printer.control("clear paper-out");
        }
        if (sampler.snapshot(false, status, control_word) && ((status ^ shown) & paper_out)) {
            ++block_changes;
            shown = status;
        }
        std::this_thread::sleep_for(20ms);
    }
    const double cpu_busy = (benchcpu::cpu_seconds(monitor.pid()) - cpu_before) / (seconds + 3) * 100.0;
    const double idle_from = benchcpu::cpu_seconds(monitor.pid());
    std::this_thread::sleep_for(30s);
    const double cpu_idle = (benchcpu::cpu_seconds(monitor.pid()) - idle_from) / 30.0 * 100.0;
    const long rss_after = rss_kib(monitor.pid());
    sampler.detach();

    const std::string text = read_file(log).substr(warm_up);
    const size_t raised = count(text, "@popup|persistent|The printer is out of paper.\n");
    const size_t cleared = count(text, "@popup|passing|Printer paper is prepared.\n");
    std::printf("soak %d s: %zu toggles of the emulator, %zu changes in the Status block (sampled 20 ms)\n", seconds,
                size_t(seconds * 1000 / 300), block_changes);
    std::printf("announced: %zu \"out of paper\", %zu \"paper is prepared\" (%zu together)\n", raised, cleared,
                raised + cleared);
    std::printf("QORSM RSS: %ld KiB before, %ld KiB after; CPU: %.2f%% while toggling, %.3f%% idle (30 s)\n",
                rss_before, rss_after, cpu_busy, cpu_idle);
    RecordProperty("block_changes", int(block_changes));
    RecordProperty("announced", int(raised + cleared));
    RecordProperty("rss_before_kib", int(rss_before));
    RecordProperty("rss_after_kib", int(rss_after));

    qortest::run(qortest::bin_dir() + "/QORSM", {"--close"}, 15s);
    EXPECT_EQ(0, monitor.wait(10s));
    unsetenv("QOR_UI_LOG");
}
