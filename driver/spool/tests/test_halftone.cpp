// The five halftoning methods against their definitions, computed here the
// slow, obvious way.
#include "diffusion.h"
#include "halftone.h"
#include "halftone_tables.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

namespace {

using Row = std::vector<BYTE>;

Row Halftone(int method, const Row& grey, LONG y, DiffusionState* state = nullptr) {
    Row out((grey.size() + 7) / 8 + 4, 0xEE);
    HalftoneForDitherType(static_cast<DWORD>(method))(grey.data(), out.data(), static_cast<LONG>(grey.size()), y,
                                                      state);
    out.resize((grey.size() + 7) / 8);
    return out;
}

bool Bit(const Row& bits, size_t x) { return (bits[x / 8] & (0x80 >> (x % 8))) != 0; }

// The ordered methods as written down: black when darkness reaches the
// cell's threshold, or when the level's pattern marks the dot.
bool ReferenceBlack(int method, int grey, int x, int y) {
    const int dark = 255 - grey;
    switch (method) {
    case 1: return dark >= 128;
    case 2: return dark >= kClusteredMatrix[8 * (x % 8) + y % 8];
    case 3: return dark >= kDispersedMatrix[8 * (x % 8) + y % 8];
    default:
        if (dark / 8 == 0 && dark < 1) return false;
        return (kLevelPatterns[dark / 8][y % 8] & (0x80 >> (x % 8))) != 0;
    }
}

// The error diffusion as written down, with the three lines copied row by row.
struct ReferenceDiffusion {
    explicit ReferenceDiffusion(int width) : w(width), L0(w + 4), L1(w + 4), L2(w + 4) {}
    std::vector<bool> Row(const std::vector<BYTE>& grey) {
        L0 = L1;
        L1 = L2;
        std::fill(L2.begin(), L2.end(), 0);
        int c = 0;
        std::vector<bool> black(w);
        for (int x = 0; x < w; ++x) {
            int d = 255 - grey[x];
            if (d == 0) continue;
            s = s == 255 ? 0 : s + 1;
            int t = kDiffusionThresholds[(base + s) % 256];
            if (s == 255) {
                base = kDiffusionThresholds[idx];
                idx = idx == 255 ? 0 : idx + 1;
            }
            c = (L1[x + 1] + 2 * L1[x + 2] + L1[x + 3] + L2[x] + 2 * L2[x + 1] + L0[x + 2] + 2 * c) >> 2;
            black[x] = c + d >= t;
            L2[x + 2] = black[x] ? d - 255 : d;
        }
        return black;
    }
    int w;
    std::vector<int> L0, L1, L2;
    int s = 0, base = 0, idx = 0;
};

TEST(Halftone, ThresholdSplitsBetween127And128) {
    EXPECT_EQ(Halftone(1, Row(8, 127), 0), Row{0xFF});
    EXPECT_EQ(Halftone(1, Row(8, 128), 0), Row{0x00});
}

TEST(Halftone, WhiteStaysWhiteWithEveryMethod) {
    DiffusionState state;
    ASSERT_TRUE(DiffusionAllocate(&state, 64));
    for (int method = 1; method <= 5; ++method)
        for (LONG y = 0; y < 8; ++y) EXPECT_EQ(Halftone(method, Row(64, 255), y, &state), Row(8, 0)) << method;
    DiffusionRelease(&state);
}

TEST(Halftone, LevelPatternsAtDarknessOneMarkTwoDotsPerCell) {
    for (LONG y = 0; y < 16; ++y) {
        Row bits = Halftone(4, Row(16, 254), y);
        for (size_t x = 0; x < 16; ++x) {
            bool expected = (y % 8 == 0 && x % 8 == 0) || (y % 8 == 4 && x % 8 == 4);
            EXPECT_EQ(Bit(bits, x), expected) << "x " << x << " y " << y;
        }
    }
}

TEST(Halftone, ClusteredMatrixAtDarknessThreeMarksOnlyItsLowestEntry) {
    for (LONG y = 0; y < 16; ++y) {
        Row bits = Halftone(2, Row(16, 252), y);
        for (size_t x = 0; x < 16; ++x) EXPECT_EQ(Bit(bits, x), x % 8 == 2 && y % 8 == 1) << x << "," << y;
    }
}

TEST(Halftone, PartialLastByteHoldsTheLastPixelsInItsHighBits) {
    for (int method = 1; method <= 4; ++method) EXPECT_EQ(Halftone(method, Row(10, 0), 0), (Row{0xFF, 0xC0})) << method;
    DiffusionState state;
    ASSERT_TRUE(DiffusionAllocate(&state, 10));
    Row bits = Halftone(5, Row(10, 0), 0, &state);
    EXPECT_EQ(bits[1] & 0x3F, 0);
    DiffusionRelease(&state);
}

TEST(Halftone, OrderedMethodsMatchTheirDefinitionForEveryLevelAndPhase) {
    for (int method = 1; method <= 4; ++method)
        for (int grey = 0; grey < 256; ++grey)
            for (LONG y = 0; y < 8; ++y) {
                Row bits = Halftone(method, Row(13, static_cast<BYTE>(grey)), y);
                for (int x = 0; x < 13; ++x)
                    ASSERT_EQ(Bit(bits, x), ReferenceBlack(method, grey, x, y))
                        << "method " << method << " grey " << grey << " x " << x << " y " << y;
            }
}

TEST(Halftone, DiffusionThresholdTableHasItsGivenStartRangeAndMean) {
    const BYTE first[16] = {64, 159, 176, 39, 129, 151, 110, 48, 78, 151, 108, 86, 179, 162, 206, 71};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(kDiffusionThresholds[i], first[i]);
    int sum = 0;
    for (BYTE t : kDiffusionThresholds) {
        EXPECT_GE(t, 33);
        EXPECT_LE(t, 241);
        sum += t;
    }
    EXPECT_EQ(sum, 128 * 256);
}

TEST(Halftone, DiffusionMatchesItsDefinitionOverManyRows) {
    // Enough dark pixels to wrap the step counter several times, so the
    // base and idx updates are exercised too.
    const int width = 37;
    std::mt19937 random(5);
    DiffusionState state;
    ASSERT_TRUE(DiffusionAllocate(&state, width));
    ReferenceDiffusion reference(width);
    for (LONG y = 0; y < 200; ++y) {
        Row grey(width);
        for (BYTE& g : grey) g = random() % 4 == 0 ? 255 : static_cast<BYTE>(random() % 256);
        if (y % 3 == 0) std::fill(grey.begin() + 8, grey.begin() + 24, BYTE{255});  // whole white bytes
        Row bits = Halftone(5, grey, y, &state);
        std::vector<bool> expected = reference.Row(grey);
        for (int x = 0; x < width; ++x) ASSERT_EQ(Bit(bits, x), expected[x]) << "x " << x << " y " << y;
    }
    EXPECT_EQ(state.step, static_cast<unsigned>(reference.s));
    EXPECT_EQ(state.idx, static_cast<unsigned>(reference.idx));
    DiffusionRelease(&state);
}

TEST(Halftone, DiffusionWhiteRowOnlyShiftsTheLines) {
    const int width = 16;
    DiffusionState state;
    ASSERT_TRUE(DiffusionAllocate(&state, width));
    Halftone(5, Row(width, 100), 0, &state);
    const unsigned step = state.step;
    std::vector<int32_t> newest(state.l2, state.l2 + width + 4);
    Halftone(5, Row(width, 255), 1, &state);
    EXPECT_EQ(state.step, step);
    EXPECT_EQ(std::vector<int32_t>(state.l1, state.l1 + width + 4), newest);
    EXPECT_EQ(std::vector<int32_t>(state.l2, state.l2 + width + 4), std::vector<int32_t>(width + 4, 0));
    DiffusionRelease(&state);
}

TEST(Halftone, DiffusionWithoutLinesForTheWidthMarksNothing) {
    DiffusionState state;
    ASSERT_TRUE(DiffusionAllocate(&state, 8));
    EXPECT_EQ(Halftone(5, Row(16, 0), 0, &state), Row(2, 0));
    DiffusionRelease(&state);
    EXPECT_EQ(Halftone(5, Row(16, 0), 0, nullptr), Row(2, 0));
}

TEST(Halftone, UnknownDitherTypesUseTheThreshold) {
    EXPECT_EQ(HalftoneForDitherType(0), &HalftoneThreshold);
    EXPECT_EQ(HalftoneForDitherType(6), &HalftoneThreshold);
    EXPECT_EQ(HalftoneForDitherType(5), &HalftoneDiffusion);
}

}  // namespace
