// Device-font arithmetic and the halftone pattern choice.
#include "devcaps.h"
#include "fontmetrics.h"

#include <gtest/gtest.h>

namespace {

TEST(RenderHipot, AxisVectorsGiveTheirLength) {
    EXPECT_EQ(iHipot(0, -7), 7);
    EXPECT_EQ(iHipot(-5, 0), 5);
    EXPECT_EQ(iHipot(0, 0), 0);
}

TEST(RenderHipot, DiagonalsFollowTheIntegerWalk) {
    EXPECT_EQ(iHipot(3, 4), 5);
    EXPECT_EQ(iHipot(-4, 3), 5);
    EXPECT_EQ(iHipot(1, 1), 2);
    EXPECT_EQ(iHipot(384, 0), 384);
}

TEST(RenderHipot, ExtremesDoNotOverflow) {
    EXPECT_EQ(iHipot(INT32_MIN, 0), INT32_MAX);
    EXPECT_GT(iHipot(1 << 20, 1 << 20), 1 << 20);
}

TEST(RenderHalftonePattern, FollowsTheSmallerResolution) {
    EXPECT_EQ(PickDefaultHTPatSize(203, 203, FALSE), 5u);
    EXPECT_EQ(PickDefaultHTPatSize(203, 203, TRUE), 3u);
    EXPECT_EQ(PickDefaultHTPatSize(2400, 2400, FALSE), 15u);
    EXPECT_EQ(PickDefaultHTPatSize(1800, 2400, FALSE), 13u);
    EXPECT_EQ(PickDefaultHTPatSize(600, 300, FALSE), 5u);
    EXPECT_EQ(PickDefaultHTPatSize(1200, 1200, FALSE), 11u);
    EXPECT_EQ(PickDefaultHTPatSize(900, 900, FALSE), 9u);
    EXPECT_EQ(PickDefaultHTPatSize(400, 400, FALSE), 7u);
    EXPECT_EQ(PickDefaultHTPatSize(100, 100, FALSE), 3u);
}

}  // namespace
