// Brightness table and grey conversion of the band.
#include "grey.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

BYTE grey_of(BYTE bright, BYTE b, BYTE g, BYTE r) {
    BYTE table[256];
    BuildBrightnessTable(bright, table);
    std::vector<BYTE> band(4, 0);
    band[0] = b, band[1] = g, band[2] = r;
    ConvertBandToGrey(band.data(), 1, 1, table);
    return band[0];
}

TEST(RenderGrey, NeutralBrightnessWeighsTheRawBytes) {
    EXPECT_EQ(grey_of(150, 0, 0, 0), 0);
    EXPECT_EQ(grey_of(150, 100, 0, 0), 21);
    EXPECT_EQ(grey_of(150, 0, 100, 0), 69);
    EXPECT_EQ(grey_of(150, 0, 0, 100), 10);
    EXPECT_EQ(grey_of(150, 10, 20, 30), (21 * 10 + 69 * 20 + 10 * 30) / 100);
    EXPECT_EQ(grey_of(150, 255, 255, 254), (21 * 255 + 69 * 255 + 10 * 254) / 100);
}

TEST(RenderGrey, BrighterRaisesEveryNonWhiteLevelAndClamps) {
    EXPECT_EQ(grey_of(200, 0, 0, 0), 50);
    EXPECT_EQ(grey_of(200, 100, 100, 100), 150);
    EXPECT_EQ(grey_of(200, 250, 250, 250), 255);
    EXPECT_EQ(grey_of(100, 30, 30, 30), 0);
}

TEST(RenderGrey, PureWhiteStaysWhiteAtAnyBrightness) {
    for (int bright : {0, 50, 100, 150, 200, 255}) EXPECT_EQ(grey_of(static_cast<BYTE>(bright), 255, 255, 255), 255);
}

TEST(RenderGrey, BrightnessOffsetWrapsAsASignedByte) {
    BYTE table[256];
    BuildBrightnessTable(22, table);  // offset -128
    EXPECT_EQ(table[200], 72);
    EXPECT_EQ(table[100], 0);
    BuildBrightnessTable(255, table);  // offset +105
    EXPECT_EQ(table[100], 205);
    BuildBrightnessTable(21, table);  // wraps to +127
    EXPECT_EQ(table[0], 127);
}

TEST(RenderGrey, RowsAreConvertedInPlaceWithTheirOwnStrides) {
    const DWORD width = 577, height = 3;
    EXPECT_EQ(GreyStride(width), 580u);
    EXPECT_EQ(ColourStride(width), 1732u);
    std::vector<BYTE> band(ColourStride(width) * height, 0xFF);
    // Row 1: a black first pixel and a mid-grey last pixel.
    BYTE* row1 = band.data() + ColourStride(width);
    row1[0] = row1[1] = row1[2] = 0;
    BYTE* last = row1 + (width - 1) * 3;
    last[0] = last[1] = last[2] = 128;
    BYTE table[256];
    BuildBrightnessTable(150, table);
    ConvertBandToGrey(band.data(), width, height, table);
    for (DWORD row = 0; row < height; ++row) {
        const BYTE* grey = band.data() + row * GreyStride(width);
        for (DWORD x = 0; x < width; ++x) {
            BYTE expected = 255;
            if (row == 1 && x == 0) expected = 0;
            if (row == 1 && x == width - 1) expected = 128;
            ASSERT_EQ(grey[x], expected) << "row " << row << " x " << x;
        }
    }
}

TEST(RenderGrey, ClearingFillsWhite) {
    std::vector<BYTE> band(100, 0);
    ClearBandBuffer(band.data(), band.size());
    for (BYTE b : band) EXPECT_EQ(b, 0xFF);
}

}  // namespace
