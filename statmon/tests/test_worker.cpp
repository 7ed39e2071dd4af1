// The worker thread against a real Status block and registry key: what it
// posts as the block and the settings change, and how it ends.
#include "monitor_app.h"
#include "notify_table.h"

#include "common/status.h"

#include "qor/kernel.h"
#include "qor/registry.h"
#include "qor/spooler.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace qor::statmon;
namespace st = qor::status;
namespace blocks = qor::blocks;

namespace {

struct Posted {
    UINT message;
    DWORD persistent;
    bool operator==(const Posted&) const = default;
};

class RecordingView final : public MonitorView {
public:
    void post_notify(UINT message, DWORD persistent) override {
        std::lock_guard guard(mutex_);
        posted_.push_back({message, persistent});
        if (message >= kFirstShownMessage) visible_ = true;
    }
    // The box comes up with the first message shown and stays (nobody
    // closes it here).
    bool popup_visible() const override {
        std::lock_guard guard(mutex_);
        return visible_;
    }
    std::vector<Posted> posted() const {
        std::lock_guard guard(mutex_);
        return posted_;
    }
    bool saw(Posted wanted) const {
        const auto all = posted();
        return std::find(all.begin(), all.end(), wanted) != all.end();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Posted> posted_;
    bool visible_ = false;
};

class OnePrinter final : public PrinterDirectory {
public:
    std::atomic<DWORD> attributes{PRINTER_ATTRIBUTE_ENABLE_BIDI};
    std::optional<DWORD> attributes_of(const std::string& name, bool& opened) override {
        opened = name == "ZEM";
        return opened ? std::optional<DWORD>(attributes.load()) : std::nullopt;
    }
    std::vector<PrinterEntry> local_printers() override { return {}; }
    // The language monitor's side coming up when asked.
    std::function<void()> on_wake;
    std::atomic<int> wakes{0};
    void wake_monitor(const std::string& name) override {
        if (name != "ZEM") return;
        ++wakes;
        if (on_wake) on_wake();
    }
};

void write_masks(DWORD raised, DWORD cleared) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "1", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&raised), sizeof raised);
    RegSetValueExA(key, "0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&cleared), sizeof cleared);
    RegCloseKey(key);
}

// The block as its writer keeps it.
class StatusWriter {
public:
    StatusWriter() : block_(blocks::create_status_block(16)) {}
    void store(DWORD control, DWORD status) {
        blocks::BlockLock lock(qor::names::kStatusMutex);
        auto* words = block_.as<blocks::StatusBlock>();
        words->control = control;
        words->status = status;
    }
    DWORD control() {
        blocks::BlockLock lock(qor::names::kStatusMutex);
        return block_.as<blocks::StatusBlock>()->control;
    }
    explicit operator bool() const { return bool(block_); }

private:
    blocks::MappedBlock block_;
};

constexpr DWORD kValid = st::kControlValid;
constexpr DWORD kAnnounce = st::kControlAnnounce;

}  // namespace

TEST(Worker, AnnouncesConditionsRecoveriesAndSettingsChanges) {
    write_masks(st::kPaperOut | kSettingsReread, st::kPaperOut);
    StatusWriter block;
    ASSERT_TRUE(block);
    block.store(kValid, 0);
    OnePrinter printers;
    RecordingView view;
    CStatusMonitorApp app(printers);
    ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
    ASSERT_TRUE(app.start_worker(&view));

    block.store(kValid | kAnnounce, st::kPaperOut);
    EXPECT_TRUE(qortest::eventually([&] { return view.saw({20009, 1}); }));
    block.store(kValid | kAnnounce, 0);
    EXPECT_TRUE(qortest::eventually([&] { return view.saw({20008, 0}); }));

    write_masks(st::kPaperOut | kSettingsReread, 0);
    EXPECT_TRUE(qortest::eventually([&] { return view.saw({kMessageSetupChanged, 1}); }));

    app.signal_stop();
    EXPECT_EQ(app.join_worker(), kWorkerStopped);
    EXPECT_FALSE(app.worker_running());
}

TEST(Worker, SnapshotClearsAStaleNoConnectionMarkWhilePrinting) {
    write_masks(st::kPrinting, 0);
    StatusWriter block;
    block.store(kValid | st::kControlNoConnection, st::kPrinting);
    OnePrinter printers;
    RecordingView view;
    CStatusMonitorApp app(printers);
    ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
    ASSERT_TRUE(app.start_worker(&view));
    EXPECT_TRUE(qortest::eventually([&] { return view.saw({20401, 1}); }));
    EXPECT_EQ(block.control(), kValid);
}

TEST(Worker, LostPrinterAndLostTwoWaySupport) {
    write_masks(kUnreachable | kBidiUnavailable, 0);
    StatusWriter block;
    block.store(kValid, st::kPaperOut);
    OnePrinter printers;
    RecordingView view;
    CStatusMonitorApp app(printers);
    ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
    ASSERT_TRUE(app.start_worker(&view));

    block.store(kValid | st::kControlNoConnection, st::kPaperOut);
    EXPECT_TRUE(qortest::eventually([&] { return view.saw({kMessageUnreachable, 1}); }));

    block.store(kValid | kAnnounce, 0);
    printers.attributes = 0;
    app.recheck_printer();
    EXPECT_EQ(app.printer_attributes(), 0u);
    EXPECT_TRUE(qortest::eventually([&] { return view.saw({kMessageNoBidi, 1}); }));
}

TEST(Worker, EndsWithItsSetUpCodes) {
    write_masks(st::kPaperOut, 0);
    OnePrinter printers;
    RecordingView view;
    {
        // No Status block, even after asking for one: set-up fails.
        CStatusMonitorApp app(printers);
        ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
        ASSERT_TRUE(app.start_worker(&view));
        EXPECT_EQ(app.join_worker(), kWorkerSetupFailed);
        EXPECT_EQ(printers.wakes.load(), 1);
    }
    {
        CStatusMonitorApp app(printers);
        ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
        ASSERT_TRUE(app.start_worker(nullptr));
        EXPECT_EQ(app.join_worker(), kWorkerNoHost);
    }
    StatusWriter block;
    block.store(kValid, 0);
    CStatusMonitorApp app(printers);
    ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
    // A stop asked before the worker has its event still ends it.
    app.signal_stop();
    ASSERT_TRUE(app.start_worker(&view));
    EXPECT_EQ(app.join_worker(), kWorkerStopped);
    EXPECT_TRUE(view.posted().empty());
}

TEST(Worker, OnWindows98AJobStartLooksThePrinterUpAgain) {
    setenv("QOR_PLATFORM_VERSION", "4.10", 1);
    write_masks(kBidiUnavailable | st::kPrinting, 0);
    StatusWriter block;
    block.store(kValid, 0);
    OnePrinter printers;
    RecordingView view;
    CStatusMonitorApp app(printers);
    ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
    unsetenv("QOR_PLATFORM_VERSION");
    ASSERT_TRUE(app.start_worker(&view));
    // The spooler changed the printer without telling anyone.
    printers.attributes = 0;
    block.store(kValid, st::kPrinting);
    EXPECT_TRUE(qortest::eventually([&] { return view.saw({kMessageNoBidi, 1}); }));
    EXPECT_EQ(app.printer_attributes(), 0u);
}

TEST(Worker, AMonitorStartedBeforeAnyJobAsksForTheStatusBlock) {
    write_masks(st::kPaperOut, 0);
    OnePrinter printers;
    std::unique_ptr<StatusWriter> block;  // made on the worker's thread, released after the join
    printers.on_wake = [&] {
        block = std::make_unique<StatusWriter>();
        block->store(kValid | kAnnounce, st::kPaperOut);
    };
    RecordingView view;
    CStatusMonitorApp app(printers);
    ASSERT_EQ(app.start_up("/P:ZEM"), StartUp::Run);
    ASSERT_TRUE(app.start_worker(&view));
    EXPECT_TRUE(qortest::eventually([&] { return view.saw({20009, 1}); }));
    app.signal_stop();
    EXPECT_EQ(app.join_worker(), kWorkerStopped);
    EXPECT_EQ(printers.wakes.load(), 1);
}
