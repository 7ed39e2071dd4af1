// The device mode record: defaults from a description, paper lookup and the
// acceptance of a caller's record.
#include "common/exdevmode.h"
#include "qortest.h"

#include "test_ppd_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using ppdtest::DataFile;
using ppdtest::NewBlock;
using ppdtest::Parse;
using ppdtest::Wide;

namespace {

std::unique_ptr<PpdBlock> Installed(const char* name) {
    auto block = NewBlock();
    auto path = Wide(DataFile(name).string());
    EXPECT_TRUE(PPD_Init(&block->data, path.c_str()));
    return block;
}

// A small description with a paper table that has a known layout.
const char* const kSmall =
    "DefPaper=300\r\nDefUserPaper=1\r\nDefOrient=1\r\nDefBin=1\r\nDefDither=-3\r\n"
    "DefKind=2\r\nDefDensity=4\r\nDefQuality=1\r\nDefBright=150\r\nDefFont=0\r\n"
    "DefCut=1\r\nDefMode=0\r\nDefResv01=11\r\nDefResv10=20\r\n"
    "NumPaper=4\r\n"
    "300;\"A\";80;100;72;100;0;640;800;576;800;32;32;0;0;0\r\n"
    "301;\"B\";58;100;54;100;0;464;800;432;800;16;16;0;0;0\r\n"
    "301;\"B again\";60;100;56;100;0;480;800;448;800;16;16;0;0;0\r\n"
    "768;\"Fallback\";112;297;104;297;0;896;2376;832;2376;32;32;0;0;0\r\n"
    "NumUserDef=2\r\n"
    "256;\"U0\";58;100;54;100;0;464;799;432;799;16;16;0;0;0\r\n"
    "256;\"U1\";80;120;72;120;0;640;959;576;959;32;32;0;0;0\r\n";

std::u16string Str(const WCHAR* text) {
    return std::u16string(text);
}

// A caller's record as the interface driver would hand it over.
EXDEVMODE CallerRecord(const PpdData& ppd) {
    EXDEVMODE record;
    EngSetDefaultEXDEVMODE(&record, u"Caller", &ppd);
    return record;
}

class DevModeFromInstalled : public ::testing::TestWithParam<const char*> {};

TEST_P(DevModeFromInstalled, HoldsTheDescriptionsDefaults) {
    auto b = Installed(GetParam());
    EXDEVMODE dm;
    std::memset(&dm, 0xCD, sizeof(dm));
    ASSERT_TRUE(EngSetDefaultEXDEVMODE(&dm, u"ZEM-D", &b->data));

    EXPECT_EQ(Str(dm.dm.dmDeviceName), u"ZEM-D");
    EXPECT_EQ(dm.dm.dmSpecVersion, 0x0401);
    EXPECT_EQ(dm.dm.dmDriverVersion, 0x0400);
    EXPECT_EQ(dm.dm.dmSize, 220);
    EXPECT_EQ(dm.dm.dmDriverExtra, 672);
    EXPECT_EQ(dm.dm.dmFields, 0x04000203u);
    EXPECT_EQ(dm.dm.dmOrientation, 1);
    EXPECT_EQ(dm.dm.dmPaperSize, 768);
    EXPECT_EQ(dm.dm.dmPaperLength, 0);
    EXPECT_EQ(dm.dm.dmScale, 100);
    EXPECT_EQ(dm.dm.dmCopies, 1);
    EXPECT_EQ(dm.dm.dmDefaultSource, b->data.DefBin);
    EXPECT_EQ(dm.dm.dmPrintQuality, 203);
    EXPECT_EQ(dm.dm.dmColor, 2);
    EXPECT_EQ(dm.dm.dmDuplex, 1);
    EXPECT_EQ(dm.dm.dmYResolution, 203);
    EXPECT_EQ(dm.dm.dmBitsPerPel, 24u);
    EXPECT_EQ(dm.dm.dmDitherType, static_cast<DWORD>(b->data.DefDither));

    EXPECT_EQ(Str(dm.PrinterName), u"ZEM-D");
    EXPECT_EQ(dm.SettingsSignature, 0xAAA1);
    EXPECT_EQ(dm.PrivateSize, 672);
    EXPECT_EQ(dm.PrivateSize2, 672);
    EXPECT_EQ(dm.PaperCode, 768);
    EXPECT_EQ(dm.Bin, static_cast<WORD>(b->data.DefBin));
    EXPECT_EQ(dm.Bright, 150);
    EXPECT_EQ(dm.Kind, b->data.DefKind);
    EXPECT_EQ(dm.Density, b->data.DefDensity);
    EXPECT_EQ(dm.Font, 0);
    EXPECT_EQ(dm.Cut, 0);
    EXPECT_EQ(dm.Mode, 0);
    EXPECT_EQ(std::memcmp(&dm.CurrentPaper, &b->paper[0], sizeof(PaperMetrix)), 0);
    EXPECT_EQ(dm.CurrentPaper.Code, dm.PaperCode);
    EXPECT_EQ(std::memcmp(&dm.UserPaper, &b->userdef[b->data.DefUserPaper], sizeof(PaperMetrix)), 0);
    EXPECT_EQ(dm.CodePage, 0);

    // The resolution block as bytes, and every reserved area zero.
    const BYTE* raw = reinterpret_cast<const BYTE*>(&dm);
    const BYTE signature[] = {0x32, 0x6B, 0x74, 0x77};
    EXPECT_EQ(std::memcmp(raw + 868, signature, 4), 0);
    EXPECT_EQ(dm.ResolutionBlock.DefaultPaper, 768);
    EXPECT_EQ(dm.ResolutionBlock.XResolution, 203);
    EXPECT_EQ(dm.ResolutionBlock.YResolution, 203);
    for (int i = 220; i < 284; i++) EXPECT_EQ(raw[i], 0) << i;
    for (int i = 848; i < 868; i++) EXPECT_EQ(raw[i], 0) << i;
    for (int i = 882; i < 892; i++) EXPECT_EQ(raw[i], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(Files, DevModeFromInstalled,
                         ::testing::Values("qorn5001.ppd", "qorn5002.ppd"));

TEST(DevModeDefaults, TakesEveryDefaultFromTheDescription) {
    auto b = Parse(kSmall);
    EXDEVMODE dm;
    ASSERT_TRUE(EngSetDefaultEXDEVMODE(&dm, nullptr, &b->data));
    EXPECT_EQ(dm.dm.dmDeviceName[0], 0);
    EXPECT_EQ(dm.dm.dmDitherType, 0xFFFFFFFDu);  // sign-extended
    EXPECT_EQ(dm.Kind, 2);
    EXPECT_EQ(dm.Density, 4);
    EXPECT_EQ(dm.Quality, 1);
    EXPECT_EQ(dm.Cut, 1);
    EXPECT_EQ(dm.Resv01, 11u);
    EXPECT_EQ(dm.Resv02, 0u);
    EXPECT_EQ(dm.Resv10, 20u);
    EXPECT_EQ(Str(dm.UserPaper.Name), u"U1");
}

TEST(DevModeDefaults, NamesAreCutAndTerminated) {
    auto b = Parse(kSmall);
    std::u16string longName(80, u'p');
    EXDEVMODE dm;
    ASSERT_TRUE(EngSetDefaultEXDEVMODE(&dm, longName.c_str(), &b->data));
    EXPECT_EQ(Str(dm.dm.dmDeviceName), longName.substr(0, CCHDEVICENAME - 1));
    EXPECT_EQ(Str(dm.PrinterName), longName.substr(0, 63));
}

TEST(DevModeDefaults, UserPaperIndexOutsideTheTableTakesTheFirstPreset) {
    auto b = Parse(std::string(kSmall) + "DefUserPaper=9\r\n");
    EXDEVMODE dm;
    ASSERT_TRUE(EngSetDefaultEXDEVMODE(&dm, nullptr, &b->data));
    EXPECT_EQ(Str(dm.UserPaper.Name), u"U0");

    auto negative = Parse(std::string(kSmall) + "DefUserPaper=-1\r\n");
    ASSERT_TRUE(EngSetDefaultEXDEVMODE(&dm, nullptr, &negative->data));
    EXPECT_EQ(Str(dm.UserPaper.Name), u"U0");
}

TEST(DevModeDefaults, EmptyTablesLeaveThePapersZero) {
    auto b = Parse("Name=\"QORCPDN7.DLL\"\r\n");
    EXDEVMODE dm;
    ASSERT_TRUE(EngSetDefaultEXDEVMODE(&dm, u"P", &b->data));
    PaperMetrix zero{};
    EXPECT_EQ(std::memcmp(&dm.CurrentPaper, &zero, sizeof(zero)), 0);
    EXPECT_EQ(std::memcmp(&dm.UserPaper, &zero, sizeof(zero)), 0);
    EXPECT_EQ(dm.SettingsSignature, 0xAAA1);
}

TEST(DevModeDefaults, RefusesMissingArguments) {
    auto b = Parse(kSmall);
    EXDEVMODE dm;
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(EngSetDefaultEXDEVMODE(nullptr, u"P", &b->data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(EngSetDefaultEXDEVMODE(&dm, u"P", nullptr));
}

TEST(CheckPaperMetrix, FindsTheFirstEntryWithTheCode) {
    auto b = Parse(kSmall);
    PaperMetrix paper{};
    ASSERT_TRUE(CheckPaperMetrix(&paper, 301, &b->data));
    EXPECT_EQ(Str(paper.Name), u"B");
    EXPECT_FALSE(CheckPaperMetrix(&paper, 256, &b->data));  // the user table is not searched
    EXPECT_FALSE(CheckPaperMetrix(&paper, 999, &b->data));
    EXPECT_FALSE(CheckPaperMetrix(nullptr, 300, &b->data));
    EXPECT_FALSE(CheckPaperMetrix(&paper, 300, nullptr));
}

// Acceptance -----------------------------------------------------------------

struct Accepted {
    EXDEVMODE device;
    BYTE charset;
};

Accepted Accept(DEVMODEW* caller, const PpdData& ppd) {
    Accepted result;
    std::memset(&result.device, 0xCD, sizeof(result.device));
    EXPECT_TRUE(AcceptExDevMode(&result.device, caller, u"Device", &ppd));
    result.charset = CharSetFromCodePage(ExDevModeCodePage(caller));
    return result;
}

TEST(DevModeAccept, PublicPartOnlyGetsDefaults) {
    auto b = Installed("qorn5001.ppd");
    // Exactly 220 bytes: a private part must not be read.
    auto caller = std::make_unique<DEVMODEW>();
    caller->dmSize = 220;
    caller->dmDriverExtra = 0;
    caller->dmFields = DM_PAPERSIZE;
    caller->dmPaperSize = 9;
    Accepted a = Accept(caller.get(), b->data);
    EXDEVMODE expected;
    EngSetDefaultEXDEVMODE(&expected, u"Device", &b->data);
    EXPECT_EQ(std::memcmp(&a.device, &expected, sizeof(expected)), 0);
    EXPECT_EQ(caller->dmPaperSize, 768);
    EXPECT_EQ(a.charset, 0);
}

TEST(DevModeAccept, ShortAndOddRecordsAreReadOnlyAsFarAsTheyReach) {
    auto b = Parse(kSmall);
    // A 3.51-style record of 188 bytes plus a private part is not our layout.
    std::vector<BYTE> old(188 + 672, 0);
    DEVMODEW* oldRecord = reinterpret_cast<DEVMODEW*>(old.data());
    oldRecord->dmSize = 188;
    oldRecord->dmDriverExtra = 672;
    std::memcpy(old.data() + 412, "\xA1\xAA", 2);
    Accepted a = Accept(oldRecord, b->data);
    EXPECT_EQ(Str(a.device.dm.dmDeviceName), u"Device");
    EXPECT_EQ(a.device.dm.dmPaperSize, 300);
    EXPECT_EQ(oldRecord->dmPaperSize, 300);

    // A private part shorter than ours is not trusted either.
    std::vector<BYTE> shortPrivate(220 + 100, 0);
    DEVMODEW* shortRecord = reinterpret_cast<DEVMODEW*>(shortPrivate.data());
    shortRecord->dmSize = 220;
    shortRecord->dmDriverExtra = 100;
    a = Accept(shortRecord, b->data);
    EXPECT_EQ(a.device.PaperCode, 300);
    EXPECT_EQ(a.charset, 0);

    // Too short even for dmPaperSize: nothing is written back.
    std::vector<BYTE> tiny(72, 0);
    DEVMODEW* tinyRecord = reinterpret_cast<DEVMODEW*>(tiny.data());
    tinyRecord->dmSize = 72;
    EXDEVMODE device;
    EXPECT_TRUE(AcceptExDevMode(&device, tinyRecord, u"Device", &b->data));
    EXPECT_EQ(device.PaperCode, 300);
}

TEST(DevModeAccept, PaperRulesInOrder) {
    auto b = Parse(kSmall);
    const struct {
        SHORT paperSize;
        WORD paperCode;
        WORD expected;
        const char16_t* name;
    } cases[] = {
        {301, 300, 301, u"B"},          // dmPaperSize found (first entry with the code)
        {42, 768, 768, u"Fallback"},    // PaperCode found: dmPaperSize corrected
        {256, 300, 300, u"A"},          // a known PaperCode comes before the user paper
        {42, 43, 768, u"Fallback"},     // neither known: the fallback paper
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.paperSize);
        EXDEVMODE caller = CallerRecord(b->data);
        caller.dm.dmPaperSize = c.paperSize;
        caller.PaperCode = c.paperCode;
        caller.Bright = 170;
        Accepted a = Accept(&caller.dm, b->data);
        EXPECT_EQ(a.device.dm.dmPaperSize, static_cast<SHORT>(c.expected));
        EXPECT_EQ(a.device.PaperCode, c.expected);
        EXPECT_EQ(a.device.CurrentPaper.Code, c.expected);
        EXPECT_EQ(Str(a.device.CurrentPaper.Name), c.name);
        EXPECT_EQ(a.device.Bright, 170);  // the caller's settings are kept
        EXPECT_EQ(Str(a.device.dm.dmDeviceName), u"Caller");
        // The final code goes back into the caller's record.
        EXPECT_EQ(caller.dm.dmPaperSize, static_cast<SHORT>(c.expected));
        EXPECT_EQ(caller.PaperCode, c.expected);
    }
}

TEST(DevModeAccept, UserPaperIsTakenUnchanged) {
    auto b = Parse(kSmall);
    EXDEVMODE caller = CallerRecord(b->data);
    caller.dm.dmPaperSize = 256;
    caller.PaperCode = 999;  // stale and unknown: the public part asks for the user paper
    caller.UserPaper.PaperLength = 433;
    caller.UserPaper.AreaLength = 3460;
    Accepted a = Accept(&caller.dm, b->data);
    EXPECT_EQ(a.device.PaperCode, 256);
    EXPECT_EQ(std::memcmp(&a.device.CurrentPaper, &caller.UserPaper, sizeof(PaperMetrix)), 0);
    EXPECT_EQ(caller.PaperCode, 256);

    // A user paper whose own code is stale still ends up as code 256.
    caller.dm.dmPaperSize = 77;
    caller.PaperCode = 256;
    caller.UserPaper.Code = 5;
    a = Accept(&caller.dm, b->data);
    EXPECT_EQ(a.device.CurrentPaper.Code, 256);
    EXPECT_EQ(a.device.CurrentPaper.AreaLength, 3460);
    EXPECT_EQ(caller.dm.dmPaperSize, 256);
}

TEST(DevModeAccept, FallbackWithoutAnEntryKeepsTheCallersMetrics) {
    auto noFallback = Parse("NumPaper=1\r\n300;\"A\";80;100\r\n");
    EXDEVMODE caller = CallerRecord(noFallback->data);
    caller.dm.dmPaperSize = 42;
    caller.PaperCode = 43;
    caller.CurrentPaper.AreaWidth = 500;
    Accepted a = Accept(&caller.dm, noFallback->data);
    EXPECT_EQ(a.device.CurrentPaper.Code, 768);
    EXPECT_EQ(a.device.CurrentPaper.AreaWidth, 500);
    EXPECT_EQ(caller.dm.dmPaperSize, 768);
}

TEST(DevModeAccept, WithoutThePaperBitTheCallersPaperStays) {
    auto b = Parse(kSmall);
    EXDEVMODE caller = CallerRecord(b->data);
    caller.dm.dmFields &= ~static_cast<DWORD>(DM_PAPERSIZE);
    caller.dm.dmPaperSize = 42;
    caller.CurrentPaper.Code = 301;
    caller.CurrentPaper.AreaWidth = 123;
    Accepted a = Accept(&caller.dm, b->data);
    EXPECT_EQ(a.device.CurrentPaper.AreaWidth, 123);
    EXPECT_EQ(caller.dm.dmPaperSize, 301);  // written back from CurrentPaper
}

TEST(DevModeAccept, LandscapeDeviceFontsNeedPageMode) {
    auto b = Parse(kSmall);
    EXDEVMODE caller = CallerRecord(b->data);
    caller.dm.dmOrientation = DMORIENT_LANDSCAPE;
    caller.Font = 2;
    caller.Mode = 0;
    EXPECT_EQ(Accept(&caller.dm, b->data).device.Mode, 1);
    EXPECT_EQ(caller.Mode, 0);  // only the device's copy changes

    caller.dm.dmOrientation = DMORIENT_PORTRAIT;
    EXPECT_EQ(Accept(&caller.dm, b->data).device.Mode, 0);

    caller.dm.dmOrientation = DMORIENT_LANDSCAPE;
    caller.Font = 0;
    EXPECT_EQ(Accept(&caller.dm, b->data).device.Mode, 0);

    // Also when the record is replaced by defaults that combine the two.
    auto landscape = Parse(std::string(kSmall) + "DefOrient=2\r\nDefFont=1\r\n");
    caller.SettingsSignature = 0;
    EXPECT_EQ(Accept(&caller.dm, landscape->data).device.Mode, 1);
}

TEST(DevModeAccept, CharacterSetFromTheCallersCodePage) {
    auto b = Parse(kSmall);
    EXDEVMODE caller = CallerRecord(b->data);
    const struct { WORD codePage; BYTE charset; } cases[] = {
        {932, 128}, {949, 129}, {950, 136}, {1252, 0}, {0, 0}, {936, 0}};
    for (const auto& c : cases) {
        caller.CodePage = c.codePage;
        EXPECT_EQ(Accept(&caller.dm, b->data).charset, c.charset) << c.codePage;
    }
    // The code page counts even when the settings block is not valid.
    caller.CodePage = 949;
    caller.SettingsSignature = 0;
    Accepted a = Accept(&caller.dm, b->data);
    EXPECT_EQ(a.charset, 129);
    EXPECT_EQ(Str(a.device.dm.dmDeviceName), u"Device");
}

TEST(DevModeAccept, CopyIsNormalisedAndNamesTerminated) {
    auto b = Parse(kSmall);
    std::vector<BYTE> bigger(220 + 700, 0);
    EXDEVMODE caller = CallerRecord(b->data);
    for (WCHAR& c : caller.CurrentPaper.Name) c = u'x';
    for (WCHAR& c : caller.UserPaper.Name) c = u'y';
    caller.dm.dmFields &= ~static_cast<DWORD>(DM_PAPERSIZE);
    caller.dm.dmDriverExtra = 700;
    std::memcpy(bigger.data(), &caller, sizeof(caller));
    Accepted a = Accept(reinterpret_cast<DEVMODEW*>(bigger.data()), b->data);
    EXPECT_EQ(a.device.dm.dmDriverExtra, 672);
    EXPECT_EQ(a.device.CurrentPaper.Name[PAPER_NAME_CHARS - 1], 0);
    EXPECT_EQ(a.device.UserPaper.Name[PAPER_NAME_CHARS - 1], 0);
}

TEST(DevModeAccept, RefusesMissingArguments) {
    auto b = Parse(kSmall);
    EXDEVMODE device;
    EXDEVMODE caller = CallerRecord(b->data);
    SetLastError(qortest::kStaleError);
    EXPECT_FALSE(AcceptExDevMode(nullptr, &caller.dm, u"D", &b->data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(AcceptExDevMode(&device, nullptr, u"D", &b->data));
    EXPECT_FALSE(AcceptExDevMode(&device, &caller.dm, u"D", nullptr));
    EXPECT_EQ(ExDevModeCodePage(nullptr), 0);
}

}  // namespace
