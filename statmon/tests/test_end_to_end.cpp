// The monitor's core against the real road: qorspoold with the model module
// and QORLM2K, a ZEM-D on an emulator port, and the worker posting to a
// view that records what the pop-up box would show.
#include "monitor_app.h"
#include "notify_table.h"

#include "monitor_printer.h"

#include "common/status.h"

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

class MonitorEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(printer_.start(spooler_, qortest::sandbox())); }
    void TearDown() override { spooler_.stop(); }

    void print_one_job() { ASSERT_TRUE(printer_.print_one_job()); }

    void control(const std::string& command) {
        std::string error;
        ASSERT_TRUE(printer_.control(command, &error)) << command << ": " << error;
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
    qorsmtest::MonitorPrinter printer_;
    TimedView view_;
};

}  // namespace

TEST_F(MonitorEndToEnd, IdleConditionsTheirRecoveryAndTheLostPrinter) {
    qorsmtest::WriteMasks(st::kPaperOut | kUnreachable, st::kPaperOut);
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
    printer_.stop_emulator();
    EXPECT_TRUE(announced(kMessageUnreachable, 1, since, "unreachable_ms"));

    app.signal_stop();
    EXPECT_EQ(app.join_worker(), kWorkerStopped);
}

TEST_F(MonitorEndToEnd, PrinterWithoutTwoWaySupport) {
    qorsmtest::WriteMasks(kBidiUnavailable | st::kPaperOut, 0);
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
