// Font heights for point sizes at the screen resolutions a label meets.
#include <gtest/gtest.h>

#include <limits>

#include "panel/font_height.h"

TEST(PointsToHeightAt, GivesTheCharacterHeightOfTheLabelSizesAt96And120Dpi) {
    // The sizes the labels use: 18 (titles, warning), 11 (status), 10 (debug).
    EXPECT_EQ(PointsToHeightAt(18, 96), -24);
    EXPECT_EQ(PointsToHeightAt(11, 96), -15);  // 14.67 rounds up
    EXPECT_EQ(PointsToHeightAt(10, 96), -13);  // 13.33 rounds down
    EXPECT_EQ(PointsToHeightAt(18, 120), -30);
    EXPECT_EQ(PointsToHeightAt(11, 120), -18);  // 18.33
    EXPECT_EQ(PointsToHeightAt(10, 120), -17);  // 16.67
    EXPECT_EQ(PointsToHeightAt(8, 144), -16);
}

TEST(PointsToHeightAt, RoundsHalvesAwayFromZeroOnBothSides) {
    // At 108 dpi every odd point size lands on a half pixel.
    EXPECT_EQ(PointsToHeightAt(1, 108), -2);   // 1.5
    EXPECT_EQ(PointsToHeightAt(3, 108), -5);   // 4.5
    EXPECT_EQ(PointsToHeightAt(-1, 108), 2);   // -1.5
    EXPECT_EQ(PointsToHeightAt(-3, 108), 5);   // -4.5
    EXPECT_EQ(PointsToHeightAt(-18, 96), 24);  // a negative size gives a cell height
}

TEST(PointsToHeightAt, ZeroAndOutOfRangeInputsStayWithinInt) {
    // No resolution (the screen could not be asked) gives 0: the default height.
    EXPECT_EQ(PointsToHeightAt(18, 0), 0);
    EXPECT_EQ(PointsToHeightAt(0, 96), 0);
    const int nMax = std::numeric_limits<int>::max();
    const int nMin = std::numeric_limits<int>::min();
    EXPECT_EQ(PointsToHeightAt(nMax, nMax), nMin);
    EXPECT_EQ(PointsToHeightAt(nMin, nMax), nMax);
    EXPECT_EQ(PointsToHeightAt(nMax, 72), -nMax);  // the largest exact one
}
