#include "form_rules.h"

#include <gtest/gtest.h>

using namespace custom;

namespace {
const SettingBytes kSerial{0xF8, 0xFF, 0xFF, 0x01}, kOther{0xF8, 0xFF, 0xFF, 0x07}, kNoMask{0, 0, 0, 0};
const List kSerialLists[] = {List::BaudRate, List::BitLength, List::Parity, List::StopBit, List::DataControl};
}  // namespace

TEST(CustomForm, SerialListsVisibleButDisabledOnASerialPrinter) {
    for (List l : kSerialLists) {
        const ListView v = list_view(l, InterfaceKind::Serial, kSerial);
        EXPECT_TRUE(v.visible);
        EXPECT_FALSE(v.enabled) << v.label;
    }
    EXPECT_TRUE(list_view(List::BusyCondition, InterfaceKind::Serial, kSerial).enabled);
}

TEST(CustomForm, UsbShowsOnlyIoResetAndBusyConditionInTheInterfaceGroup) {
    for (List l : kSerialLists) EXPECT_FALSE(list_view(l, InterfaceKind::Usb, kOther).visible);
    EXPECT_TRUE(list_view(List::IoReset, InterfaceKind::Usb, kOther).visible);
    EXPECT_TRUE(list_view(List::BusyCondition, InterfaceKind::Usb, kOther).visible);
}

TEST(CustomForm, ParallelRelabelsTwoListsAndHidesThree) {
    const ListView lf = list_view(List::BaudRate, InterfaceKind::Parallel, kOther);
    const ListView status = list_view(List::BitLength, InterfaceKind::Parallel, kOther);
    EXPECT_EQ(lf.label, "Auto LF");
    EXPECT_EQ(status.label, "Status");
    EXPECT_EQ(lf.items, (std::vector<std::string_view>{"Disable", "Enable"}));
    EXPECT_TRUE(lf.visible && lf.enabled && status.visible && status.enabled);
    for (List l : {List::Parity, List::StopBit, List::DataControl})
        EXPECT_FALSE(list_view(l, InterfaceKind::Parallel, kOther).visible);
}

TEST(CustomForm, NothingEnabledBeforeTheSettingsAreAcquired) {
    for (const ListInfo& l : lists()) EXPECT_FALSE(list_view(l.list, InterfaceKind::Usb, kNoMask).enabled);
    EXPECT_FALSE(list_view(List::HeadDrive, InterfaceKind::Usb, kOther).enabled);
    for (int id : {command::kSave, command::kSaveAs, command::kWrite, command::kTestPrint, command::kReset,
                   command::kLoadFile, command::kDefaultD510x, command::kDefaultD610x}) {
        EXPECT_FALSE(command_enabled(id, false)) << id;
        EXPECT_TRUE(command_enabled(id, true)) << id;
    }
    for (int id : {command::kLoadPrinter, command::kExit, command::kVersion}) EXPECT_TRUE(command_enabled(id, false));
}
