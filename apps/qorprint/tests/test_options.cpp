// Command-line parsing and how options land in the device mode.
#include "devmode_setup.h"
#include "options.h"
#include "picture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

bool Parse(std::vector<std::string> args, PrintOptions* options, std::string* error) {
    return ParseOptions(args, options, error);
}

struct Description {
    Description() {
        std::memset(&block, 0, sizeof(block));
        PPD_AttachTables(&block);
        std::string text, error;
        EXPECT_TRUE(ReadWholeFile(QOR_DATA_DIR "/qorn5001.ppd", &text, &error)) << error;
        PPD_Parse(&block.data, text.data(), static_cast<DWORD>(text.size()));
        EngSetDefaultEXDEVMODE(&devmode, u"ZEM", &block.data);
    }
    PpdBlock block;
    EXDEVMODE devmode;
};

TEST(Options, NamedAndNumericChoicesAndFiles) {
    PrintOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"-P", "ZEM", "--dither=diffusion", "--orientation", "landscape", "--cut", "none", "--mode",
                       "page", "--device-font", "16", "--density", "5", "--quality=high", "--kind", "1", "a.png",
                       "--", "-odd name.txt"},
                      &o, &error))
        << error;
    EXPECT_EQ(o.printer, "ZEM");
    EXPECT_EQ(o.dither, 5);
    EXPECT_EQ(o.orientation, 2);
    EXPECT_EQ(o.cut, 2);
    EXPECT_EQ(o.mode, 1);
    EXPECT_EQ(o.font, 2);
    EXPECT_EQ(o.density, 5);
    EXPECT_EQ(o.quality, 1);
    EXPECT_EQ(o.kind, 1);
    EXPECT_EQ(o.files, (std::vector<std::string>{"a.png", "-odd name.txt"}));
    EXPECT_FALSE(o.bright.has_value());
    EXPECT_FALSE(o.properties);
    PrintOptions prompt;
    ASSERT_TRUE(Parse({"--properties", "a.txt"}, &prompt, &error)) << error;
    EXPECT_TRUE(prompt.properties);
}

TEST(Options, BadInputIsExplained) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--dither", "7", "a"}, "--dither wants"},
        {{"--density", "x", "a"}, "--density wants"},
        {{"--frobnicate", "a"}, "unknown option --frobnicate"},
        {{"a", "--paper"}, "--paper needs a value"},
        {{"--cut=sideways", "a"}, "--cut wants"},
        {{"--quiet"}, "no files to print"},
    };
    for (const auto& [args, message] : cases) {
        PrintOptions o;
        std::string error;
        EXPECT_FALSE(Parse(args, &o, &error));
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
    PrintOptions o;
    std::string error;
    EXPECT_TRUE(Parse({"--help"}, &o, &error));
    EXPECT_TRUE(o.help);
}

TEST(Options, ApplyToTheDescriptionsDeviceMode) {
    Description d;
    PrintOptions o;
    o.paper = std::to_string(d.block.data.pPaper[1].Code);
    o.dither = 3;
    o.cut = 1;
    o.bright = d.block.data.MINBright;
    std::string error;
    ASSERT_TRUE(ApplyOptions(o, d.block.data, std::nullopt, &d.devmode, &error)) << error;
    EXPECT_EQ(d.devmode.PaperCode, d.block.data.pPaper[1].Code);
    EXPECT_EQ(d.devmode.dm.dmPaperSize, static_cast<SHORT>(d.block.data.pPaper[1].Code));
    EXPECT_EQ(std::memcmp(&d.devmode.CurrentPaper, &d.block.data.pPaper[1], sizeof(PaperMetrix)), 0);
    EXPECT_EQ(d.devmode.dm.dmDitherType, 3u);
    EXPECT_EQ(d.devmode.Cut, 1);
    EXPECT_EQ(d.devmode.SettingsSignature, EXDM_SETTINGS_SIGNATURE);
}

TEST(Options, OutOfRangeOrUnknownSettingsAreRefused) {
    Description d;
    std::string error;
    PrintOptions paper;
    paper.paper = "no such paper";
    EXPECT_FALSE(ApplyOptions(paper, d.block.data, std::nullopt, &d.devmode, &error));
    EXPECT_NE(error.find("--list-papers"), std::string::npos);
    if (d.block.data.MAXBright < 255) {
        PrintOptions bright;
        bright.bright = 255;
        EXPECT_FALSE(ApplyOptions(bright, d.block.data, std::nullopt, &d.devmode, &error));
    }
    PrintOptions standard_landscape;
    standard_landscape.orientation = 2;
    standard_landscape.font = 1;
    standard_landscape.mode = 0;
    EXPECT_FALSE(ApplyOptions(standard_landscape, d.block.data, std::nullopt, &d.devmode, &error));
    EXPECT_NE(error.find("page mode"), std::string::npos);
}

TEST(Options, LandscapeDeviceTextTakesPageMode) {
    Description d;
    d.devmode.Mode = 0;
    PrintOptions o;
    o.orientation = 2;
    o.font = 1;
    std::string error;
    ASSERT_TRUE(ApplyOptions(o, d.block.data, std::nullopt, &d.devmode, &error)) << error;
    EXPECT_EQ(d.devmode.Mode, 1);
}

}  // namespace
