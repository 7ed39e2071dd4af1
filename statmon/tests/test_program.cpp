// QORSM as a program, with its windows (offscreen), against the real road:
// qorspoold with the model module and QORLM2K, a ZEM-D on an emulator port,
// the masks chosen with the status program's model and changed while the
// monitor runs, qorctl changing the printer, a second QORSM and
// QORSM --close. What the pop-up box shows is read from the layer's log.
// Latencies go to the test's properties (--gtest_output=xml).
#include "notify_table.h"
#include "notify_settings.h"
#ifdef QOR_HAVE_STATUS_MODEL
#include "status_model.h"
#include "status_settings.h"
#endif

#include "monitor_printer.h"

#include "common/status.h"

#include "qor/registry.h"
#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace st = qor::status;
using namespace qor::statmon;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

std::string read_file(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Every condition row of the status program marked, as its user would.
void choose_every_condition_with_status() {
#ifndef QOR_HAVE_STATUS_MODEL
    // Builds without the status program (the thread-checking one): the
    // masks it writes for every row, raised only.
    qorsmtest::WriteMasks(0x6040009A, 0);
#else
    status::StatusSettings settings;
    status::StatusModel model(settings);
    model.start();
    model.set_announcements(true);
    for (size_t row = 0; row < status::condition_rows().size(); ++row) model.set_row_checked(row, true);
    model.renew();
#endif
}

// The monitor's own announcements and the recoveries, which the status
// program has no rows for, written beside its choice.
void add_to_masks(DWORD raised, DWORD cleared) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD values[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        DWORD size = sizeof(DWORD);
        RegQueryValueExA(key, i == 0 ? "1" : "0", nullptr, nullptr, reinterpret_cast<LPBYTE>(&values[i]), &size);
    }
    values[0] |= raised;
    values[1] |= cleared;
    RegSetValueExA(key, "1", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[0]), sizeof(DWORD));
    RegSetValueExA(key, "0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[1]), sizeof(DWORD));
    RegCloseKey(key);
}

class MonitorProgram : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string dir = qortest::sandbox();
        ASSERT_TRUE(printer_.start(spooler_, dir));
        log_ = dir + "/ui.log";
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("QOR_UI_LOG", log_.c_str(), 1);
    }
    void TearDown() override {
        if (monitor_.running()) monitor_.kill();
        unsetenv("QOR_UI_LOG");
        spooler_.stop();
    }

    void print_one_job() { ASSERT_TRUE(printer_.print_one_job()); }

    void control(const std::string& command) {
        std::string error;
        ASSERT_TRUE(printer_.control(command, &error)) << command << ": " << error;
    }

    // Waits for `line` in the log after what was there before; records the
    // milliseconds since `since` as `property`, or -1 when it never came.
    int logged(const std::string& line, Clock::time_point since, const char* property,
               std::chrono::milliseconds limit = 5s) {
        const size_t from = seen_;
        bool found = qortest::eventually(
            [&] {
                const std::string text = read_file(log_);
                const size_t at = text.find(line + "\n", from);
                if (at == std::string::npos) return false;
                seen_ = at + line.size() + 1;
                return true;
            },
            limit);
        const int ms = found ? elapsed_ms(since) : -1;
        if (property) report(property, ms);
        return ms;
    }
    static int elapsed_ms(Clock::time_point since) {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
    }
    void report(const char* property, int ms) {
        RecordProperty(property, ms);
        std::printf("[ latency  ] %s = %d ms\n", property, ms);
    }
    void report(const char* property, Clock::time_point since) { report(property, elapsed_ms(since)); }
    bool closed_since_last_line() const { return read_file(log_).find("@popup|closed|", seen_) != std::string::npos; }

    qorspool::PrivateSpooler spooler_;
    qorsmtest::MonitorPrinter printer_;
    qortest::Child monitor_;
    std::string log_;
    size_t seen_ = 0;
};

}  // namespace

TEST_F(MonitorProgram, AnnouncesFollowsItsSettingsAndEndsOnClose) {
    print_one_job();  // the model module watches the idle printer from now on
    choose_every_condition_with_status();
    add_to_masks(kUnreachable | kBidiUnavailable, 0);

    auto since = Clock::now();
    monitor_ = qortest::Child::spawn(qortest::bin_dir() + "/QORSM", {"/p:ZEM"});
    ASSERT_GE(logged("@tray|add|QOR Printer", since, "start_ms", 10s), 0);

    since = Clock::now();
    qortest::Output second = qortest::run(qortest::bin_dir() + "/QORSM", {"/P:ZEM"}, 5s);
    EXPECT_EQ(0, second.status) << "a second monitor ends at once";
    report("second_instance_ms", since);

    // A condition that is present stays up.
    since = Clock::now();
    control("raise paper-out");
    EXPECT_GE(logged("@popup|persistent|The printer is out of paper.", since, "paper_out_ms"), 0);
    std::this_thread::sleep_for(2300ms);  // past the box's 2-second timer: a persistent message stays
    EXPECT_FALSE(closed_since_last_line());

    // The status program chooses no recoveries: the clear closes the box
    // 2 s later without a text of its own.
    since = Clock::now();
    control("clear paper-out");
    const int closed_plain = logged("@popup|closed|", since, "paper_back_unannounced_close_ms");
    EXPECT_GE(closed_plain, 1800);

    // Masks changed while it runs: the recovery is announced from now on.
    add_to_masks(0, st::kPaperOut);
    std::this_thread::sleep_for(300ms);  // the worker's settings signal, then one cycle
    control("raise paper-out");
    ASSERT_GE(logged("@popup|persistent|The printer is out of paper.", Clock::now(), nullptr), 0);
    since = Clock::now();
    control("clear paper-out");
    EXPECT_GE(logged("@popup|passing|Printer paper is prepared.", since, "paper_back_ms"), 0);
    const auto shown = Clock::now();
    const int closes = logged("@popup|closed|", shown, "paper_back_close_ms");
    EXPECT_GE(closes, 1800);
    EXPECT_LE(closes, 3000);

    // The spooler's change of the two-way attribute, through its broadcast.
    since = Clock::now();
    qortest::Output off = qortest::run(qortest::bin_dir() + "/qorctl", {"set-printer", "ZEM", "-bidi"}, 10s);
    ASSERT_EQ(0, off.status) << off.err;
    EXPECT_GE(logged("@popup|persistent|Bi-directional communication support is not available.", since, "no_bidi_ms"),
              0);
    qortest::Output on = qortest::run(qortest::bin_dir() + "/qorctl", {"set-printer", "ZEM", "+bidi"}, 10s);
    ASSERT_EQ(0, on.status) << on.err;
    ASSERT_GE(logged("@popup|closed|", Clock::now(), nullptr), 0);

    since = Clock::now();
    printer_.stop_emulator();
    EXPECT_GE(logged("@popup|persistent|It couldn't be connected to the printer.", since, "unreachable_ms"), 0);

    since = Clock::now();
    qortest::Output close = qortest::run(qortest::bin_dir() + "/QORSM", {"--close"}, 15s);
    EXPECT_EQ(0, close.status) << close.err;
    EXPECT_EQ(0, monitor_.wait(5s)) << "the monitor ends cleanly";
    report("close_ms", since);
    EXPECT_GE(logged("@tray|delete|QOR Printer", since, nullptr), 0) << "the tray icon is removed";

    qortest::Output none = qortest::run(qortest::bin_dir() + "/QORSM", {"--close"}, 5s);
    EXPECT_EQ(1, none.status);
    EXPECT_NE(std::string::npos, none.err.find("no status monitor is running"));
}

TEST(MonitorCommandLine, HelpVersionAndBadOptions) {
    qortest::Output help = qortest::run(qortest::bin_dir() + "/QORSM", {"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.out.find("QORSM /P:<printer>"));
    qortest::Output version = qortest::run(qortest::bin_dir() + "/QORSM", {"--version"});
    EXPECT_EQ(0, version.status);
    EXPECT_EQ(0u, version.out.find("QORSM 1.03"));
    qortest::Output bad = qortest::run(qortest::bin_dir() + "/QORSM", {"--frobnicate"});
    EXPECT_EQ(2, bad.status);
    EXPECT_NE(std::string::npos, bad.err.find("--frobnicate"));
    // No masks chosen: it ends at once, without a window.
    qortest::Output nothing = qortest::run(qortest::bin_dir() + "/QORSM", {"/P:ZEM"}, std::chrono::seconds(5));
    EXPECT_EQ(1, nothing.status);
}

TEST(MonitorStart, InstallScriptWritesTheMenuAndAutostartEntries) {
    const std::string dir = qortest::sandbox(), script = std::string(QOR_SOURCE_DIR) + "/scripts/install-monitor.sh";
    setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    setenv("QOR_BUILD_DIR", (qortest::bin_dir() + "/..").c_str(), 1);
    qortest::Output made = qortest::run("/bin/bash", {script, "Kiosk Printer"});
    ASSERT_EQ(0, made.status) << made.err;
    const std::string menu = read_file(dir + "/data/applications/qor-status-monitor.desktop");
    EXPECT_EQ(menu, read_file(dir + "/config/autostart/qor-status-monitor.desktop"));
    EXPECT_NE(std::string::npos, menu.find("Exec=" + qortest::bin_dir() + "/../bin/QORSM \"/P:Kiosk Printer\"\n"));
    EXPECT_NE(std::string::npos, menu.find("[Desktop Entry]\nType=Application\n"));

    qortest::Output bad = qortest::run("/bin/bash", {script, "a/b"});
    EXPECT_EQ(2, bad.status) << "the switch would end at the slash";
    qortest::Output removed = qortest::run("/bin/bash", {script, "--remove"});
    EXPECT_EQ(0, removed.status) << removed.err;
    EXPECT_EQ("", read_file(dir + "/config/autostart/qor-status-monitor.desktop"));
    unsetenv("QOR_BUILD_DIR");
}
