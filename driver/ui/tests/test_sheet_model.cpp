// The sheets' decisions without windows: Show groups, the layout check and
// its questions, the custom paper box, the pages' apply and the sheet state.
#include "custom_paper.h"
#include "driver_strings.h"
#include "layout_check.h"
#include "pages.h"
#include "show_groups.h"
#include "ui_testkit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace {

class SheetModel : public ::testing::Test {
protected:
    void SetUp() override {
        sheet = CreateSheetState(nullptr, nullptr, SheetKind::Document, ppd());
        ASSERT_TRUE(IsSheetState(sheet));
        data = MakePageData(sheet, SheetKind::Document, u"QOR ZEM-D");
    }
    void TearDown() override { DestroySheetState(sheet); }

    PpdData& ppd() { return description.ppd(); }
    EXDEVMODE& working() { return data.working; }

    Description description = uitest::Parse(uitest::InstalledDescriptionText());
    SheetState* sheet = nullptr;
    PageData data;
};

TEST(ShowGroupsTable, EveryBitOnceWithItsControls) {
    std::set<DWORD> bits;
    std::set<int> controls;
    for (const ShowGroup& group : ShowGroups()) {
        EXPECT_TRUE(bits.insert(group.bit).second);
        for (int id : group.controls) EXPECT_TRUE(controls.insert(id).second) << id;
    }
    EXPECT_EQ(bits.size(), 12u);
    EXPECT_EQ(*bits.rbegin(), 0x800u);
    EXPECT_EQ(controls.size(), 33u);
}

TEST_F(SheetModel, StateMarkersAndDefaults) {
    EXPECT_EQ(sheet->current.SettingsSignature, EXDM_SETTINGS_SIGNATURE);
    EXPECT_EQ(sheet->current.dm.dmPaperSize, ppd().DefPaper);
    EXPECT_EQ(std::memcmp(&data.working, &sheet->current, sizeof(EXDEVMODE)), 0);
    sheet->self_end = nullptr;
    EXPECT_FALSE(IsSheetState(sheet));
    sheet->self_end = sheet;
    EXPECT_FALSE(IsSheetState(nullptr));
}

TEST_F(SheetModel, PageMemoryOfTheLongestPageModePaper) {
    PaperMetrix paper{};
    paper.AreaWidth = 576, paper.AreaLength = 326 * 2030 / 254;
    EXPECT_EQ(PageModeMemory(paper), ppd().MAXMemory) << "72 mm at 326 mm is the limit the description sets";
    paper.AreaWidth = -5, paper.AreaLength = 0x7FFFFFFF;
    EXPECT_EQ(PageModeMemory(paper), 0x7FFFFFFFu / 8 * 5 + 71 + 0x7FFFFFFFu) << "negative width counts as 0";
}

TEST_F(SheetModel, LandscapeDeviceFontsAskForPageMode) {
    working().Mode = 0, working().Font = 1, working().dm.dmOrientation = DMORIENT_LANDSCAPE;
    ASSERT_EQ(CheckLayout(working(), ppd()), LayoutQuestion::UsePageMode);
    AcceptLayoutAnswer(&working(), LayoutQuestion::UsePageMode);
    EXPECT_EQ(CheckLayout(working(), ppd()), LayoutQuestion::None);
    EXPECT_TRUE(ShowOptionsPage(data).page_mode) << "the Options page shows page mode checked next time";
    working().dm.dmOrientation = DMORIENT_PORTRAIT, working().Mode = 0;
    EXPECT_EQ(CheckLayout(working(), ppd()), LayoutQuestion::None);
}

TEST_F(SheetModel, PageModeOnTooLargeAPage) {
    working().Mode = 1;
    working().PaperCode = 0;
    for (WORD i = 0; i < ppd().NumPaper; ++i)
        if (ppd().pPaper[i].PaperWidth == 112 && ppd().pPaper[i].PaperLength == 297) working().PaperCode = ppd().pPaper[i].Code;
    ASSERT_NE(working().PaperCode, 0);
    EXPECT_EQ(CheckLayout(working(), ppd()), LayoutQuestion::CancelPageMode);
    working().dm.dmOrientation = DMORIENT_LANDSCAPE;
    ASSERT_EQ(CheckLayout(working(), ppd()), LayoutQuestion::CancelPageModePortrait);
    AcceptLayoutAnswer(&working(), LayoutQuestion::CancelPageModePortrait);
    EXPECT_EQ(working().Mode, 0);
    EXPECT_EQ(working().dm.dmOrientation, DMORIENT_PORTRAIT);
    // A code in neither table has nothing to measure.
    working().Mode = 1, working().PaperCode = 4321;
    EXPECT_EQ(CheckLayout(working(), ppd()), LayoutQuestion::None);
}

TEST_F(SheetModel, CustomLengthLimits) {
    PaperMetrix user = working().UserPaper;
    user.PaperWidth = 80;
    user.PaperLength = 0;
    EXPECT_EQ(CheckUserPaperLength(&user, false, ppd()).message, kStringNoLength);
    user.PaperLength = ppd().MINUserDef - 1;
    LengthVerdict verdict = CheckUserPaperLength(&user, false, ppd());
    EXPECT_EQ(verdict.message, kStringMinimumLength);
    EXPECT_EQ(verdict.limit, ppd().MINUserDef);
    user.PaperLength = 500;
    verdict = CheckUserPaperLength(&user, true, ppd());
    EXPECT_EQ(verdict.message, kStringMaximumLength);
    EXPECT_EQ(verdict.limit, 326);
    EXPECT_TRUE(CheckUserPaperLength(&user, false, ppd()).passed()) << "standard mode allows up to MAXUserDef";
    EXPECT_EQ(user.AreaLength, 500 * 2030 / 254);
    EXPECT_EQ(user.PhysLength, user.AreaLength);
    EXPECT_EQ(user.AreaLengthMM, 500);
    user.PaperLength = ppd().MAXUserDef + 1;
    EXPECT_EQ(CheckUserPaperLength(&user, false, ppd()).limit, ppd().MAXUserDef);
    user.PaperWidth = 70, user.PaperLength = 900;
    EXPECT_TRUE(CheckUserPaperLength(&user, true, ppd()).passed()) << "no page-mode limit for other widths";
}

TEST_F(SheetModel, LengthEditKeepsOnlyDigits) {
    EXPECT_EQ(DigitsOnly(u"1a2"), u"12");
    EXPECT_EQ(DigitsOnly(u"x"), u"");
    const std::u16string long_text = std::u16string(32, u'a') + u"b7";
    EXPECT_EQ(DigitsOnly(long_text), u"b7") << "only 32 characters are examined";
    CustomPaperBox box(working(), ppd());
    EXPECT_TRUE(box.EditLength(u"1a2"));
    EXPECT_EQ(box.length_text(), u"12");
    EXPECT_FALSE(box.EditLength(u"120"));
}

TEST_F(SheetModel, CustomPaperBoxRefusalKeepsTheUserPaper) {
    CustomPaperBox box(working(), ppd());
    ASSERT_GE(box.selected(), 0);
    EXPECT_EQ(ppd().pUserDef[box.selected()].PaperWidth, working().UserPaper.PaperWidth);
    const PaperMetrix before = working().UserPaper;
    box.EditLength(u"0");
    EXPECT_EQ(box.Accept(&working()).message, kStringNoLength);
    EXPECT_EQ(std::memcmp(&before, &working().UserPaper, sizeof(before)), 0);

    box.SelectPreset(0);
    EXPECT_EQ(box.length_text(), u"100");
    box.EditLength(u"150");
    ASSERT_TRUE(box.Accept(&working()).passed());
    EXPECT_EQ(working().UserPaper.PaperWidth, ppd().pUserDef[0].PaperWidth);
    EXPECT_EQ(working().UserPaper.PaperLength, 150);
    box.RestoreDefaults();
    EXPECT_EQ(box.selected(), ppd().DefUserPaper);
}

TEST_F(SheetModel, CancelledCustomPaperSelectsThePreviousPaper) {
    const PaperPageView view = ShowPaperPage(data, ppd());
    ASSERT_GE(view.paper, 0);
    EXPECT_EQ(view.papers.back().value, PAPER_CODE_USER);
    const int before = view.paper;
    EXPECT_TRUE(ChoosePaper(&data, PAPER_CODE_USER));
    EXPECT_EQ(PaperAfterCancel(view, data), before);

    EXPECT_FALSE(ChoosePaper(&data, view.papers[1].value));
    EXPECT_TRUE(ChoosePaper(&data, PAPER_CODE_USER));
    TakeCustomPaper(&data);
    EXPECT_EQ(PaperAfterCancel(view, data), static_cast<int>(view.papers.size()) - 1);
    EXPECT_EQ(working().dm.dmPaperLength, working().UserPaper.PaperLength * 10);
}

TEST_F(SheetModel, ApplyCopiesTheShownGroups) {
    working().PaperCode = working().dm.dmPaperSize = 257;
    working().dm.dmOrientation = DMORIENT_LANDSCAPE;
    working().Cut = 2;
    ApplyPaperPage(&data, 1, 8, ppd());
    EXPECT_EQ(sheet->current.PaperCode, 257);
    EXPECT_EQ(sheet->current.CurrentPaper.Code, 257);
    EXPECT_EQ(sheet->current.dm.dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(sheet->current.Kind, 1);
    EXPECT_EQ(sheet->current.dm.dmDefaultSource, 8);
    EXPECT_EQ(sheet->current.Bin, 8);
    EXPECT_TRUE(data.applied);
    EXPECT_NE(sheet->current.Cut, 2) << "the cutter belongs to the Options page";
    ApplyOptionsPage(&data, ppd());
    EXPECT_EQ(sheet->current.Cut, 2);
}

TEST_F(SheetModel, ShowZeroAppliesNothing) {
    ppd().Show = 0;
    const PaperPageView view = ShowPaperPage(data, ppd());
    EXPECT_TRUE(view.papers.empty() && view.kinds.empty() && view.sources.empty());
    const EXDEVMODE before = sheet->current;
    working().PaperCode = 257, working().Cut = 2, working().Mode = 1, working().dm.dmDitherType = 1;
    ApplyPaperPage(&data, 1, 8, ppd());
    ApplyGraphicsPage(&data, false, 10, 1, ppd());
    ApplyOptionsPage(&data, ppd());
    EXPECT_EQ(std::memcmp(&before, &sheet->current, sizeof(before)), 0);
}

TEST_F(SheetModel, GraphicsRestoreAndApply) {
    working().dm.dmDitherType = 1, working().Quality = 1, working().Bright = 50;
    RestoreGraphicsDefaults(&data, ppd());
    const GraphicsPageView view = ShowGraphicsPage(data, ppd());
    EXPECT_EQ(view.dithering_radio, 1100 + ppd().DefDither);
    EXPECT_EQ(view.quality_radio, ppd().DefQuality ? 1107 : 1106);
    EXPECT_EQ(view.intensity, ppd().DefBright);
    EXPECT_EQ(view.intensity_max, ppd().MAXBright);
    ApplyGraphicsPage(&data, false, 200, 5, ppd());
    EXPECT_EQ(sheet->current.Quality, 1);
    EXPECT_EQ(sheet->current.Bright, 200);
    EXPECT_EQ(sheet->current.Density, 5);
}

}  // namespace
