#include "setting_lists.h"

#include <gtest/gtest.h>

using namespace custom;

namespace {

std::string_view shown(const Selections& s, List list) {
    const int index = at(s, list);
    return index < 0 ? std::string_view("<none>") : info(list).items.at(size_t(index));
}

const SettingBytes kSerialMask{0xF8, 0xFF, 0xFF, 0x01};
const SettingBytes kUsbMask{0xF8, 0xFF, 0xFF, 0x07};

}  // namespace

TEST(CustomLists, EverySelectionOfTheSampleBytesOnASerialPrinter) {
    const Selections s = bytes_to_selections({0x21, 0x43, 0x65, 0x87}, InterfaceKind::Serial);
    const std::pair<List, std::string_view> expected[] = {
        {List::HeadDrive, "Fix div"}, {List::DriveSpeed, "128dots / 5blocks"}, {List::AutoCutter, "Disable"},
        {List::Presenter, "Disable"}, {List::CharacterFont, "Katakana"}, {List::PaperDischarge, "Upward"},
        {List::PrintDensity, " 80%"}, {List::PrintSpeed, "High"}, {List::FontType, "Standard"},
        {List::Driver, "QOR"}, {List::IoReset, "Disable"}, {List::PaperWidth, "82.55 mm  (3.3 inch)"},
        {List::PaperType, "TC98KS-T1"}, {List::PaperMark, "Mark"}, {List::AutoOnline, "Disable"},
        {List::BusyCondition, "Full / Offline"}, {List::BaudRate, "4800 bps"}, {List::BitLength, "7bit"},
        {List::Parity, "None"}, {List::StopBit, "2bit"}, {List::DataControl, "BUSY"}};
    for (const auto& [list, text] : expected) EXPECT_EQ(shown(s, list), text) << info(list).label;
    EXPECT_EQ(at(s, List::Parity), 0);
}

TEST(CustomLists, SerialLineListsCannotChangeByteThree) {
    const SettingBytes read{0x21, 0x43, 0x65, 0x87};
    Selections s = bytes_to_selections(read, InterfaceKind::Serial);
    at(s, List::BaudRate) = 0;
    at(s, List::BitLength) = 1;
    at(s, List::Parity) = 3;
    at(s, List::StopBit) = 1;
    at(s, List::DataControl) = 0;
    EXPECT_EQ(selections_to_bytes(s, read, kSerialMask, InterfaceKind::Serial), read);
    at(s, List::BusyCondition) = 0;  // bit 0 is the one byte-3 bit a serial printer may change
    EXPECT_EQ(selections_to_bytes(s, read, kSerialMask, InterfaceKind::Serial)[3], 0x86);
}

TEST(CustomLists, HeadDriveAndDriveSpeedAreWrittenAsRead) {
    const SettingBytes read{0x07, 0, 0, 0};
    Selections s = bytes_to_selections(read, InterfaceKind::Usb);
    at(s, List::HeadDrive) = 0;
    at(s, List::DriveSpeed) = 0;
    EXPECT_EQ(selections_to_bytes(s, read, kUsbMask, InterfaceKind::Usb)[0], 0x07);
}

TEST(CustomLists, UsbWritesBitsOneAndTwoAsZeroAndKeepsTheRest) {
    const SettingBytes read{0, 0, 0, 0xFF};
    Selections s = bytes_to_selections(read, InterfaceKind::Usb);
    at(s, List::BaudRate) = 0;  // the form holds it at 0 on USB
    at(s, List::BitLength) = 0;
    EXPECT_EQ(selections_to_bytes(s, read, kUsbMask, InterfaceKind::Usb)[3], 0xF9);
}

TEST(CustomLists, ParallelReadsAndWritesAutoLfAndStatus) {
    const SettingBytes read{0, 0, 0, 0x04};  // Status on, Auto LF off
    Selections s = bytes_to_selections(read, InterfaceKind::Parallel);
    EXPECT_EQ(at(s, List::BaudRate), 0);
    EXPECT_EQ(at(s, List::BitLength), 1);
    at(s, List::BaudRate) = 1;
    at(s, List::BitLength) = 0;
    EXPECT_EQ(selections_to_bytes(s, read, kUsbMask, InterfaceKind::Parallel)[3], 0x02);
    EXPECT_TRUE(list_enabled(List::BaudRate, kUsbMask, InterfaceKind::Parallel));
    EXPECT_FALSE(list_enabled(List::BaudRate, kSerialMask, InterfaceKind::Serial));
    EXPECT_FALSE(list_enabled(List::HeadDrive, kUsbMask, InterfaceKind::Usb));
    EXPECT_FALSE(list_enabled(List::DriveSpeed, kUsbMask, InterfaceKind::Usb));
}

TEST(CustomLists, PaperWidthSevenShowsAsSixAndPaperTypeSevenAsNone) {
    const Selections s = bytes_to_selections({0, 0, 0x3F, 0}, InterfaceKind::Serial);
    EXPECT_EQ(at(s, List::PaperWidth), 6);
    EXPECT_EQ(at(s, List::PaperType), kNone);
    EXPECT_FALSE(selections_complete(s));
    Selections chosen = s;
    at(chosen, List::PaperType) = 2;
    EXPECT_TRUE(selections_complete(chosen));
    // Head drive, drive speed, cutter and presenter are not required.
    at(chosen, List::HeadDrive) = at(chosen, List::DriveSpeed) = at(chosen, List::AutoCutter) =
        at(chosen, List::Presenter) = kNone;
    EXPECT_TRUE(selections_complete(chosen));
}

TEST(CustomLists, ModelDefaultsOnASerialPrinter) {
    const SettingBytes read{0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(model_defaults(Model::D510x, read, kSerialMask, InterfaceKind::Serial),
              (SettingBytes{0x1F, 0x07, 0x00, 0xFE}));
    EXPECT_EQ(model_defaults(Model::D610x, read, kSerialMask, InterfaceKind::Serial),
              (SettingBytes{0x1F, 0x07, 0x06, 0xFE}));
    EXPECT_EQ(model_defaults(Model::D510x, read, {0, 0, 0, 0}, InterfaceKind::Serial), read);
}

TEST(CustomLists, ModelDefaultsOnAParallelPrinterEnableIoResetAndAutoLf) {
    const SettingBytes d = model_defaults(Model::D510x, {0, 0, 0, 0}, kUsbMask, InterfaceKind::Parallel);
    EXPECT_EQ(d, (SettingBytes{0x18, 0x87, 0x00, 0x02}));
}
