// Sizes written for 96 dots per inch at the scales Windows offers, and a
// dialog's layout carried from one resolution to another.
#include "panel/dpi_scale.h"

#include <gtest/gtest.h>

#include <limits>

using namespace dpi_scale;

TEST(DpiScale, SizesFollowTheCommonScales) {
    // The panel's 6-pixel frame at 100, 125, 150, 175, 200 and 300 %.
    EXPECT_EQ(ScaleForDpi(6, 96), 6);
    EXPECT_EQ(ScaleForDpi(6, 120), 8);  // 7.5 rounds up
    EXPECT_EQ(ScaleForDpi(6, 144), 9);
    EXPECT_EQ(ScaleForDpi(6, 168), 11);  // 10.5
    EXPECT_EQ(ScaleForDpi(6, 192), 12);
    EXPECT_EQ(ScaleForDpi(6, 288), 18);
    // Halves go away from zero on both sides, as the system's MulDiv does.
    EXPECT_EQ(ScaleForDpi(1, 144), 2);
    EXPECT_EQ(ScaleForDpi(-1, 144), -2);
    EXPECT_EQ(ScaleForDpi(-7, 120), -9);  // -8.75
    EXPECT_EQ(ScaleForDpi(0, 192), 0);
}

TEST(DpiScale, AResolutionTheSystemDidNotTellCountsAsNinetySix) {
    EXPECT_EQ(ValidDpi(0), 96);
    EXPECT_EQ(ValidDpi(-144), 96);
    EXPECT_EQ(ValidDpi(144), 144);
    EXPECT_EQ(ScaleForDpi(6, 0), 6);
    EXPECT_EQ(RescaleDpi(30, 0, 192), 60);  // nothing is divided by zero
    EXPECT_EQ(RescaleDpi(30, 144, 0), 20);
}

TEST(DpiScale, RescalingBetweenResolutions) {
    EXPECT_EQ(RescaleDpi(300, 144, 96), 200);
    EXPECT_EQ(RescaleDpi(301, 144, 96), 201);  // 200.67
    EXPECT_EQ(RescaleDpi(200, 96, 144), 300);
    EXPECT_EQ(RescaleDpi(25, 192, 144), 19);  // 18.75
    // There and back again lands where it started when the way up is exact.
    for (int n = -50; n <= 50; ++n) {
        EXPECT_EQ(RescaleDpi(RescaleDpi(n, 96, 192), 192, 96), n) << n;
    }
    // Sizes far beyond any screen are held at the ends of int.
    EXPECT_EQ(RescaleDpi(std::numeric_limits<int>::max(), 96, 192),
              std::numeric_limits<int>::max());
    EXPECT_EQ(RescaleDpi(std::numeric_limits<int>::min(), 96, 192),
              std::numeric_limits<int>::min());
}

TEST(DpiScale, LinesStayVisibleAndThickenWithTheScale) {
    EXPECT_EQ(ScaleLineForDpi(1, 96), 1);
    EXPECT_EQ(ScaleLineForDpi(1, 120), 1);
    EXPECT_EQ(ScaleLineForDpi(1, 144), 2);
    EXPECT_EQ(ScaleLineForDpi(1, 192), 2);
    EXPECT_EQ(ScaleLineForDpi(1, 240), 3);
    EXPECT_EQ(ScaleLineForDpi(1, 24), 1);   // never thinner than one pixel
    EXPECT_EQ(ScaleLineForDpi(0, 192), 0);  // no line stays no line
}

TEST(DpiScale, RectanglesKeepTheirNeighbours) {
    // Two buttons side by side, touching at x = 31 at 120 dpi: they still
    // touch after the move, because edges are scaled, not widths.
    const Rect left = {0, 0, 31, 17};
    const Rect right = {31, 0, 62, 17};
    const Rect l = RescaleRect(left, 120, 144);
    const Rect r = RescaleRect(right, 120, 144);
    EXPECT_EQ(l.right, r.left);
    EXPECT_EQ(l.right, 37);   // 37.2
    EXPECT_EQ(r.right, 74);   // 74.4
    EXPECT_EQ(l.bottom, 20);  // 20.4

    const Rect rc = RescaleRect({10, 20, 30, 40}, 96, 192);
    EXPECT_EQ(rc.left, 20);
    EXPECT_EQ(rc.top, 40);
    EXPECT_EQ(rc.right, 60);
    EXPECT_EQ(rc.bottom, 80);
    // Negative coordinates (a window left of the primary screen) round
    // symmetrically.
    const Rect off = RescaleRect({-3, -1, 3, 1}, 96, 144);
    EXPECT_EQ(off.left, -5);
    EXPECT_EQ(off.right, 5);
    EXPECT_EQ(off.top, -2);
    EXPECT_EQ(off.bottom, 2);
}
