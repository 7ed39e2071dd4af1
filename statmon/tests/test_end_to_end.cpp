// The monitor's core against the real road: qorspoold with the model module
// and QORLM2K, a ZEM-D on an emulator port, and the worker posting to a
// view that records what the pop-up box would show.
#include "monitor_app.h"
#include "notify_table.h"

#include "common/status.h"
#include "qoremu/control_client.h"
#include "spool_testing.h"

#include "qor/registry.h"
#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

using namespace qor::statmon;
namespace st = qor::status;
using Clock = std::chrono::steady_clock;

namespace {

class TimedView final : public MonitorView {
public:
    void post_notify(UINT message, DWORD persistent) override {
        std::lock_guard guard(mutex_);
        posted_.push_back({message, persistent, Clock::now()});
        if (message >= kFirstShownMessage) visible_ = true;
    }
    bool popup_visible() const override {
        std::lock_guard guard(mutex_);
        return visible_;
    }
    // When `message` was first posted with `persistent` at or after `since`.
    std::optional<Clock::time_point> posted_at(UINT message, DWORD persistent, Clock::time_point since) const {
        std::lock_guard guard(mutex_);
        for (const Entry& entry : posted_)
            if (entry.message == message && entry.persistent == persistent && entry.at >= since) return entry.at;
        return std::nullopt;
    }

private:
    struct Entry {
        UINT message;
        DWORD persistent;
        Clock::time_point at;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> posted_;
    bool visible_ = false;
};

void write_masks(DWORD raised, DWORD cleared) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "1", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&raised), sizeof raised);
    RegSetValueExA(key, "0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&cleared), sizeof cleared);
    RegCloseKey(key);
}

class MonitorEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(spooler_.ok());
        const std::string dir = qortest::sandbox();
        control_ = dir + "/zemd.ctl";
        const std::string socket = dir + "/zemd.sock";
        emulator_ = qortest::Child::spawn("qoremu", {"--socket", socket, "--control", control_, "--tickets",
                                                     dir + "/tickets", "--state", dir + "/zemd.state"});
        ASSERT_TRUE(qoremu::wait_for_path(control_));
        ASSERT_TRUE(spooler_.add_driver("QOR ZEM-D510", "QOR ZEM-D Monitor", "QORZEMLM.DLL"));
        ASSERT_TRUE(spooler_.add_printer("ZEM", "USB001", "emu:" + socket, "QOR ZEM-D510"));
    }
    void TearDown() override { spooler_.stop(); }

    void print_one_job() {
        std::u16string name = u"ZEM", document = u"job", type = u"RAW";
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(name.data(), &printer, nullptr));
        DOC_INFO_1W info{document.data(), nullptr, type.data()};
        ASSERT_NE(StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info)), 0u);
        BYTE text[] = "monitor\n\x1dV";
        DWORD written = 0;
        ASSERT_TRUE(WritePrinter(printer, text, sizeof text, &written));  // the last byte ends the cut
        ASSERT_TRUE(EndDocPrinter(printer));
        ClosePrinter(printer);
        ASSERT_TRUE(qoremu::wait_for_tickets(qortest::sandbox() + "/tickets", 1));
        ASSERT_TRUE(spooler_.wait_idle("ZEM"));
    }

    void control(const std::string& command) {
        std::string error;
        ASSERT_TRUE(qoremu::control_command(control_, command, nullptr, &error)) << command << ": " << error;
    }

    // Waits for a post; records how long it took in the test's properties.
    bool announced(UINT message, DWORD persistent, Clock::time_point since, const char* property) {
        std::optional<Clock::time_point> at;
        const bool seen = qortest::eventually([&] { return (at = view_.posted_at(message, persistent, since)); },
                                              std::chrono::seconds(10));
        if (seen)
            RecordProperty(property, int(std::chrono::duration_cast<std::chrono::milliseconds>(*at - since).count()));
        return seen;
    }

    qorspool::PrivateSpooler spooler_;
    qortest::Child emulator_;
    std::string control_;
    TimedView view_;
};

}  // namespace

TEST_F(MonitorEndToEnd, IdleConditionsTheirRecoveryAndTheLostPrinter) {
    write_masks(st::kPaperOut | kUnreachable, st::kPaperOut);
    CStatusMonitorApp app;
    ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
    // Started before any job: the worker has the printer's monitor set up.
    ASSERT_TRUE(app.start_worker(&view_));
    // A job has the printer report its changes by itself from then on.
    print_one_job();
    ASSERT_TRUE(qortest::eventually([&] { return app.watcher()->decided().control & st::kControlValid; }));

    auto since = Clock::now();
    control("raise paper-out");
    EXPECT_TRUE(announced(20009, 1, since, "paper_out_ms"));
    since = Clock::now();
    control("clear paper-out");
    EXPECT_TRUE(announced(20008, 0, since, "paper_back_ms"));

    since = Clock::now();
    emulator_.kill();
    EXPECT_TRUE(announced(kMessageUnreachable, 1, since, "unreachable_ms"));

    app.signal_stop();
    EXPECT_EQ(app.join_worker(), kWorkerStopped);
}

TEST_F(MonitorEndToEnd, PrinterWithoutTwoWaySupport) {
    write_masks(kBidiUnavailable | st::kPaperOut, 0);
    CStatusMonitorApp app;
    ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
    ASSERT_TRUE(app.printer_attributes() & PRINTER_ATTRIBUTE_ENABLE_BIDI);
    ASSERT_TRUE(app.start_worker(&view_));
    print_one_job();  // the Status block is valid from the first status on

    std::u16string name = u"ZEM";
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};  // changing level 2 needs it
    ASSERT_TRUE(OpenPrinterW(name.data(), &printer, &all));
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    ASSERT_TRUE(GetPrinterW(printer, 2, buffer.data(), DWORD(buffer.size()), &needed));
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    info->Attributes &= ~DWORD(PRINTER_ATTRIBUTE_ENABLE_BIDI);
    ASSERT_TRUE(SetPrinterW(printer, 2, buffer.data(), 0));
    ClosePrinter(printer);

    const auto since = Clock::now();
    app.recheck_printer();  // what the window does on the spooler's change broadcast
    EXPECT_TRUE(announced(kMessageNoBidi, 1, since, "no_bidi_ms"));
}
