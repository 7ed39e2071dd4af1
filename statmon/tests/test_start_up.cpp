// Start-up's stop conditions, the command line, the printer lookup and the
// settings values in the registry.
#include "command_line.h"
#include "monitor_app.h"
#include "notify_settings.h"

#include "qor/registry.h"
#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <map>

using namespace qor::statmon;

namespace {

class FakeDirectory final : public PrinterDirectory {
public:
    std::map<std::string, DWORD> openable;
    std::vector<std::string> unreadable;
    std::vector<PrinterEntry> local;

    std::optional<DWORD> attributes_of(const std::string& name, bool& opened) override {
        opened = std::find(unreadable.begin(), unreadable.end(), name) != unreadable.end();
        if (const auto it = openable.find(name); it != openable.end()) {
            opened = true;
            return it->second;
        }
        return std::nullopt;
    }
    std::vector<PrinterEntry> local_printers() override { return local; }
    void wake_monitor(const std::string&) override {}
};

HKEY settings_key() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\QOR\\ZEM\\StatusMonitor", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

void write_word(const char* name, DWORD value) {
    HKEY key = settings_key();
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

bool read_word(const char* name, DWORD& value, DWORD& type) {
    HKEY key = settings_key();
    DWORD size = sizeof value;
    const bool ok = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) == 0;
    RegCloseKey(key);
    return ok;
}

}  // namespace

TEST(CommandLine, NameAfterTheSwitchUpToTheNextOne) {
    EXPECT_EQ(printer_from_command_line("/p:Kiosk Printer /x"), "Kiosk Printer");
    EXPECT_EQ(printer_from_command_line("QORSM /P:  ZEM  "), "ZEM");
    EXPECT_EQ(printer_from_command_line("/x /P:A/B"), "A");
    EXPECT_EQ(printer_from_command_line("/P:   /x"), std::nullopt);
    EXPECT_EQ(printer_from_command_line("/Q:ZEM"), std::nullopt);
    EXPECT_EQ(printer_from_command_line("/P"), std::nullopt);
    EXPECT_EQ(printer_from_command_line("/P:" + std::string(259, 'a')), std::string(259, 'a'));
    EXPECT_EQ(printer_from_command_line("/P:" + std::string(260, 'a')), std::nullopt);
}

TEST(PrinterLookup, ByNameOrTheFirstZemD510) {
    FakeDirectory directory;
    directory.openable["Kiosk"] = PRINTER_ATTRIBUTE_ENABLE_BIDI;
    directory.local = {{"Office", "Other Driver", 0},
                       {"Lower", "qor zem-d510", 1},
                       {"Short", "QOR ZEM-D5", 2},
                       {"Front", "QOR ZEM-D510 (USB)", 0x840},
                       {"Back", "QOR ZEM-D510", 4}};
    const Lookup named = look_up_printer(directory, "Kiosk");
    EXPECT_TRUE(named.found);
    EXPECT_EQ(named.name, "Kiosk");
    EXPECT_EQ(named.attributes, DWORD(PRINTER_ATTRIBUTE_ENABLE_BIDI));

    const Lookup fallback = look_up_printer(directory, "Gone");
    EXPECT_TRUE(fallback.found);
    EXPECT_EQ(fallback.name, "Front");
    EXPECT_EQ(fallback.attributes, 0x840u);

    directory.unreadable = {"Broken"};
    EXPECT_FALSE(look_up_printer(directory, "Broken").found);
    directory.local.clear();
    const Lookup none = look_up_printer(directory, "Gone");
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.attributes, 0u);
}

TEST(Settings, MissingOrMalformedValuesBecomeZeroWords) {
    Masks masks{7, 7};
    ASSERT_TRUE(read_masks(masks));
    EXPECT_EQ(masks, (Masks{0, 0}));
    DWORD value = 1, type = 0;
    ASSERT_TRUE(read_word("1", value, type));
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(type, DWORD(REG_DWORD));

    HKEY key = settings_key();
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    RegSetValueExA(key, "0", 0, REG_BINARY, eight, sizeof eight);
    RegCloseKey(key);
    write_word("1", 0x10);
    ASSERT_TRUE(read_masks(masks));
    EXPECT_EQ(masks, (Masks{0x10, 0}));
    ASSERT_TRUE(read_word("0", value, type));
    EXPECT_EQ(type, DWORD(REG_DWORD));
}

TEST(Settings, RecheckReportsChangesOnlyOnce) {
    std::mutex lock;
    SettingsRecord record(lock);
    write_word("1", 0x10);
    write_word("0", 0x10);
    ASSERT_TRUE(record.read());
    Recheck same = record.recheck(false);
    EXPECT_TRUE(same.ok);
    EXPECT_FALSE(same.changed);
    write_word("0", 0);
    Recheck changed = record.recheck(false);
    EXPECT_TRUE(changed.ok);
    EXPECT_TRUE(changed.changed);
    EXPECT_EQ(record.masks(), (Masks{0x10, 0}));
    EXPECT_FALSE(record.recheck(false).changed);
    // Polled: a read younger than the interval is not repeated.
    write_word("1", 0x20);
    EXPECT_FALSE(record.recheck(true).changed);
    EXPECT_EQ(record.masks().raised, 0x10u);
}

TEST(StartUp, StopConditionsInOrder) {
    FakeDirectory directory;
    directory.openable["Kiosk"] = 0;
    {
        CStatusMonitorApp app(directory);
        EXPECT_EQ(app.start_up("/P:Kiosk"), StartUp::NothingToAnnounce);
    }
    write_word("0", 0x10);
    {
        CStatusMonitorApp app(directory);
        EXPECT_EQ(app.start_up("QORSM"), StartUp::NoPrinterName);
    }
    {
        CStatusMonitorApp app(directory);
        EXPECT_EQ(app.start_up("/P:Elsewhere"), StartUp::PrinterNotFound);
    }
    CStatusMonitorApp first(directory);
    ASSERT_EQ(first.start_up("/p:kiosk/x"), StartUp::PrinterNotFound);  // names are the spooler's to match
    CStatusMonitorApp second(directory);
    EXPECT_EQ(second.start_up("/P:Kiosk"), StartUp::AlreadyRunning);
}

TEST(StartUp, FindsThePrinterAndTakesItsAttributes) {
    write_word("1", 0x10);
    FakeDirectory directory;
    directory.local = {{"ZEM", "QOR ZEM-D510", PRINTER_ATTRIBUTE_ENABLE_BIDI}};
    CStatusMonitorApp app(directory);
    ASSERT_EQ(app.start_up("/P:Old Name"), StartUp::Run);
    EXPECT_EQ(app.printer_name(), "ZEM");
    EXPECT_EQ(app.printer_attributes(), DWORD(PRINTER_ATTRIBUTE_ENABLE_BIDI));
    // Without a worker the exit path has nothing to wait for.
    EXPECT_EQ(app.join_worker(), kWorkerStopped);
}
