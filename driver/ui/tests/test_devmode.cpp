// The device-mode rules of the interface driver: versions, copies between
// record sizes, merges of callers' records, and stored records in a
// printer's level-2 buffer.
#include "current_devmode.h"
#include "devmode_ops.h"
#include "ui_testkit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class DevModeRules : public ::testing::Test {
protected:
    Description description = uitest::Parse(uitest::InstalledDescriptionText());
    const PpdData& ppd = description.ppd();
    EXDEVMODE current = uitest::DefaultRecord(ppd);

    // A caller's 220-byte record without a private part.
    DEVMODEW Caller() const {
        DEVMODEW dm;
        std::memset(&dm, 0, sizeof(dm));
        dm.dmSpecVersion = 0x0401;
        dm.dmSize = sizeof(dm);
        return dm;
    }
};

TEST_F(DevModeRules, VersionFollowsTheSize) {
    DEVMODEW dm = Caller();
    EXPECT_EQ(GetDevModeSpecVersion(nullptr), 0);
    EXPECT_EQ(GetDevModeSpecVersion(&dm), 0x0401);
    dm.dmSize = 188;
    EXPECT_EQ(GetDevModeSpecVersion(&dm), 0x0320);
    dm.dmSize = 212;
    EXPECT_EQ(GetDevModeSpecVersion(&dm), 0x0400);
    dm.dmSize = 200, dm.dmSpecVersion = 0x0123;
    EXPECT_EQ(GetDevModeSpecVersion(&dm), 0x0123);
    // Too short to hold its own fields: unusable whatever it claims.
    dm.dmSize = 40;
    EXPECT_EQ(GetDevModeSpecVersion(&dm), 0);
}

TEST_F(DevModeRules, CopiesAskingForThreeComeBackAsOne) {
    DEVMODEW dm = Caller();
    dm.dmFields = DM_COPIES;
    dm.dmCopies = 3;
    ASSERT_TRUE(MergeDevMode(&current, &dm, ppd));
    EXPECT_EQ(current.dm.dmCopies, 1);

    EXDEVMODE whole = uitest::DefaultRecord(ppd);
    whole.dm.dmCopies = 3;
    whole.dm.dmFields |= DM_COPIES;
    ASSERT_TRUE(MergeDevMode(&current, &whole.dm, ppd));
    EXPECT_EQ(current.dm.dmCopies, 1);
}

TEST_F(DevModeRules, UnknownPaperSizeTakesThePaperCode) {
    EXDEVMODE caller = uitest::DefaultRecord(ppd);
    caller.dm.dmPaperSize = 999;
    caller.PaperCode = 258;
    ASSERT_TRUE(MergeDevMode(&current, &caller.dm, ppd));
    EXPECT_EQ(current.dm.dmPaperSize, 258);
    EXPECT_EQ(current.PaperCode, 258);
    EXPECT_EQ(current.CurrentPaper.Code, 258);
    const PaperMetrix* paper = FindPaper(ppd.pPaper, ppd.NumPaper, 258);
    ASSERT_NE(paper, nullptr);
    EXPECT_EQ(current.dm.dmPaperLength, paper->PaperLength * 10);
    EXPECT_EQ(current.dm.dmPaperWidth, paper->PaperWidth * 10);
    EXPECT_FALSE(current.dm.dmFields & DM_FORMNAME);
}

TEST_F(DevModeRules, LengthAndWidthWithoutSizeIsTheUserPaper) {
    DEVMODEW dm = Caller();
    dm.dmFields = DM_PAPERLENGTH | DM_PAPERWIDTH;
    dm.dmPaperLength = 1500, dm.dmPaperWidth = 800;
    ASSERT_TRUE(MergeDevMode(&current, &dm, ppd));
    EXPECT_EQ(current.dm.dmPaperSize, 256);
    EXPECT_EQ(current.PaperCode, 256);
    EXPECT_FALSE(current.dm.dmFields & DM_PAPERSIZE);
    EXPECT_EQ(current.dm.dmFields & (DM_PAPERLENGTH | DM_PAPERWIDTH), DWORD(DM_PAPERLENGTH | DM_PAPERWIDTH));
}

TEST_F(DevModeRules, OutOfRangeValuesAreReplaced) {
    DEVMODEW dm = Caller();
    dm.dmFields = DM_ORIENTATION | DM_DITHERTYPE | DM_DEFAULTSOURCE;
    dm.dmOrientation = 7, dm.dmDitherType = 9, dm.dmDefaultSource = 8;
    ASSERT_TRUE(MergeDevMode(&current, &dm, ppd));
    EXPECT_EQ(current.dm.dmOrientation, DMORIENT_PORTRAIT);
    EXPECT_EQ(current.dm.dmDitherType, DWORD(ppd.DefDither));
    EXPECT_EQ(current.dm.dmDefaultSource, 8);
    EXPECT_EQ(current.Bin, 8);

    dm.dmOrientation = 2, dm.dmDitherType = 5;
    ASSERT_TRUE(MergeDevMode(&current, &dm, ppd));
    EXPECT_EQ(current.dm.dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(current.dm.dmDitherType, 5u);
    // Landscape exchanges the extent of the paper.
    EXPECT_EQ(current.dm.dmPaperLength, current.CurrentPaper.PaperWidth * 10);
}

TEST_F(DevModeRules, UnusableRecordLeavesTheCurrentOneAlone) {
    const EXDEVMODE before = current;
    DEVMODEW dm = Caller();
    dm.dmSize = 12;
    EXPECT_FALSE(MergeDevMode(&current, &dm, ppd));
    EXPECT_EQ(std::memcmp(&before, &current, sizeof(current)), 0);
    EXPECT_TRUE(MergeDevMode(&current, nullptr, ppd));
    EXPECT_EQ(std::memcmp(&before, &current, sizeof(current)), 0);
}

TEST_F(DevModeRules, OldRecordCopiesIntoTheCurrentLayout) {
    // A 188-byte public part followed by the private part.
    std::vector<BYTE> old(188 + EXDM_PRIVATE_SIZE, 0);
    DEVMODEW head = Caller();
    head.dmSize = 188, head.dmSpecVersion = 0x0320, head.dmDriverExtra = EXDM_PRIVATE_SIZE;
    head.dmOrientation = 2;
    std::memcpy(old.data(), &head, 188);
    old[188 + (412 - 220)] = 0xA1, old[188 + (413 - 220)] = 0xAA;

    EXDEVMODE out;
    std::memset(&out, 0, sizeof(out));
    out.dm.dmSize = EXDM_PUBLIC_SIZE, out.dm.dmDriverExtra = EXDM_PRIVATE_SIZE, out.dm.dmDriverVersion = 0x0400;
    EXPECT_EQ(CopyDevMode(reinterpret_cast<DEVMODEW*>(old.data()), &out.dm), DWORD(188 + EXDM_PRIVATE_SIZE));
    EXPECT_EQ(out.dm.dmSize, EXDM_PUBLIC_SIZE);
    EXPECT_EQ(out.dm.dmSpecVersion, 0x0401);
    EXPECT_EQ(out.dm.dmDriverExtra, EXDM_PRIVATE_SIZE);
    EXPECT_EQ(out.dm.dmOrientation, 2);
    EXPECT_EQ(out.SettingsSignature, EXDM_SETTINGS_SIGNATURE);
}

TEST_F(DevModeRules, CopyOutTakesTheSmallerSizes) {
    DEVMODEW input = Caller();
    input.dmDriverVersion = 0x0123;
    std::vector<BYTE> output(EXDM_SIZE + 16, 0xCC);
    ASSERT_TRUE(CopyDevModeOut(current, &input, reinterpret_cast<DEVMODEW*>(output.data())));
    DEVMODEW out;
    std::memcpy(&out, output.data(), sizeof(out));
    EXPECT_EQ(out.dmSize, EXDM_PUBLIC_SIZE);
    EXPECT_EQ(out.dmDriverExtra, 0);
    EXPECT_EQ(out.dmDriverVersion, 0x0123);
    EXPECT_EQ(output[EXDM_PUBLIC_SIZE], 0xCC) << "nothing written behind a record without a private part";

    ASSERT_TRUE(CopyDevModeOut(current, nullptr, reinterpret_cast<DEVMODEW*>(output.data())));
    EXPECT_EQ(std::memcmp(output.data(), &current, EXDM_SIZE), 0);
    EXPECT_EQ(output[EXDM_SIZE], 0xCC);
}

TEST_F(DevModeRules, StoredRecordMustLieInsideItsBuffer) {
    std::vector<BYTE> buffer(sizeof(PRINTER_INFO_2W) + 300, 0);
    PRINTER_INFO_2W info{};
    auto* stored = reinterpret_cast<DEVMODEW*>(buffer.data() + sizeof(PRINTER_INFO_2W));
    info.pDevMode = stored;
    DEVMODEW head = Caller();
    head.dmDriverExtra = 80;
    std::memcpy(stored, &head, sizeof(head));
    EXPECT_EQ(StoredDevMode(buffer, info), stored);
    head.dmDriverExtra = EXDM_PRIVATE_SIZE;
    std::memcpy(stored, &head, sizeof(head));
    EXPECT_EQ(StoredDevMode(buffer, info), nullptr);
    info.pDevMode = reinterpret_cast<DEVMODEW*>(buffer.data() + buffer.size() - 20);
    EXPECT_EQ(StoredDevMode(buffer, info), nullptr);
}

}  // namespace
