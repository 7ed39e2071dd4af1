// The setting bytes as the printer reports them, and the default paper and
// device mode chosen from them.
#include "common/printer_defaults.h"
#include "common/setbank.h"

#include "test_ppd_support.h"

#include <gtest/gtest.h>

using namespace qor;

namespace {

TEST(Setbank, RollWidthAndCharacterTableFromTheBytes) {
    const int hundredths[] = {5800, 6000, 6600, 7620, 8000, 8255, 11200, 11200};
    const int mm[] = {58, 60, 66, 76, 80, 83, 112, 112};
    for (BYTE width = 0; width < 8; ++width) {
        const setbank::Bytes bytes{0x18, 0x07, static_cast<BYTE>(0xF8 | width), 0xC8};  // other bits set
        EXPECT_EQ(setbank::paper_width_hundredths(bytes), hundredths[width]);
        EXPECT_EQ(setbank::paper_width_mm(bytes), mm[width]);
    }
    EXPECT_EQ(setbank::character_table({0x18, 0, 0, 0}), setbank::CharacterTable::Graphics);
    EXPECT_EQ(setbank::character_table({0x38, 0, 0, 0}), setbank::CharacterTable::Katakana);
    EXPECT_EQ(setbank::character_table({0x5F, 0, 0, 0}), setbank::CharacterTable::Option);
    EXPECT_EQ(setbank::character_table({0xFF, 0, 0, 0}), setbank::CharacterTable::Space);
}

TEST(Setbank, SettingReplyIsFoundAmongOtherBytes) {
    // 18 07 00 C8 as the printer answers it, after a status back and a DLE EOT reply.
    const BYTE reply[] = {0x10, 0x00, 0x00, 0x00, 0x12, 0x55, 0x08, 0x01, 0x07, 0x00, 0x00, 0x00, 0x08, 0x0C};
    EXPECT_EQ(setbank::find_setting_reply(reply, sizeof reply), (setbank::Bytes{0x18, 0x07, 0x00, 0xC8}));
    EXPECT_FALSE(setbank::find_setting_reply(reply, sizeof reply - 1));  // one nibble short
    const BYTE not_nibbles[] = {0x55, 0x08, 0x01, 0x17, 0x00, 0x00, 0x00, 0x08, 0x0C};
    EXPECT_FALSE(setbank::find_setting_reply(not_nibbles, sizeof not_nibbles));
    EXPECT_FALSE(setbank::find_setting_reply(nullptr, 9));
    // Of two answers the later one holds.
    const BYTE two[] = {0x55, 0, 0, 0, 0, 0, 0, 0, 0, 0x55, 1, 0, 0, 0, 6, 0, 0, 0};
    EXPECT_EQ(setbank::find_setting_reply(two, sizeof two), (setbank::Bytes{0x01, 0x00, 0x06, 0x00}));
}

TEST(Setbank, FactorySettingsOfTheModelTheDeviceIdNames) {
    const std::string id = "MFG:QOR;CMD:ESC/POS;MDL:ZEM-D610x;CLS:PRINTER;";
    EXPECT_EQ(setbank::factory_settings(std::string("\x00\x31", 2) + id), (setbank::Bytes{0x18, 0x07, 0x06, 0xC8}));
    EXPECT_EQ(setbank::factory_settings("MDL:ZEM-D510x"), (setbank::Bytes{0x18, 0x07, 0x00, 0xC8}));
    EXPECT_FALSE(setbank::factory_settings("MFG:QOR;MDL:ZEM-D510xx;"));
    EXPECT_FALSE(setbank::factory_settings("MFG:QOR;CMD:ESC/POS;"));
}

TEST(PrinterDefaults, EachRollGetsItsLongestPaperAndWiderOnesDoNotFit) {
    auto block = ppdtest::NewBlock();
    const auto path = ppdtest::Wide(ppdtest::DataFile("qorn5001.ppd").string());
    ASSERT_TRUE(PPD_Init(&block->data, path.c_str()));
    const std::pair<int, WORD> expected[] = {{58, 258}, {60, 260}, {66, 262}, {76, 264}, {80, 768}, {83, 267}, {112, 269}};
    for (const auto& [roll, code] : expected) {
        const PaperMetrix* paper = defaults::default_paper(block->data, roll);
        ASSERT_NE(paper, nullptr) << roll;
        EXPECT_EQ(paper->Code, code) << roll;
    }
    EXPECT_EQ(defaults::default_paper(block->data, 50), nullptr);
    PaperMetrix paper{};
    ASSERT_TRUE(CheckPaperMetrix(&paper, 768, &block->data));
    EXPECT_FALSE(defaults::paper_fits(paper, 58));
    EXPECT_TRUE(defaults::paper_fits(paper, 80));

    EXPECT_FALSE(defaults::build_devmode(block->data, u"ZEM", {0x18, 0x07, 0x00, 0xC8}, nullptr));
    EXDEVMODE devmode;
    ASSERT_TRUE(defaults::build_devmode(block->data, u"ZEM", {0x18, 0x07, 0x00, 0xC8}, &devmode));
    // Fields of the packed record are copied out before they are compared.
    const SHORT paper_size = devmode.dm.dmPaperSize;
    const WORD paper_code = devmode.PaperCode, default_paper = devmode.ResolutionBlock.DefaultPaper;
    const WORD signature = devmode.SettingsSignature;
    const DWORD fields = devmode.dm.dmFields;
    const PaperMetrix current = devmode.CurrentPaper;
    EXPECT_EQ(paper_size, 258);
    EXPECT_EQ(paper_code, 258);
    EXPECT_EQ(default_paper, 258);
    EXPECT_EQ(current.Code, 258);
    EXPECT_EQ(current.AreaWidth, 432);
    EXPECT_EQ(signature, EXDM_SETTINGS_SIGNATURE);
    EXPECT_NE(fields & DM_PAPERSIZE, 0u);
}

}  // namespace
