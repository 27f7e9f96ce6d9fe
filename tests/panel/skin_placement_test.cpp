// The thirteen placements of the skinned dialog's background as lists of
// copies, for client areas larger and smaller than the bitmap.
#include <gtest/gtest.h>

#include <vector>

#include "panel/skin_placement.h"

namespace {

using Copies = std::vector<SkinCopy>;

SkinCopy At(int x, int y, int cx, int cy) {
    return {x, y, cx, cy, false};
}

// How often each pixel of a W x H area is drawn by the copies.
std::vector<int> Coverage(const Copies& copies, int W, int H) {
    std::vector<int> counts(static_cast<size_t>(W) * H, 0);
    for (const SkinCopy& c : copies) {
        for (int y = c.y; y < c.y + c.cy; ++y) {
            for (int x = c.x; x < c.x + c.cx; ++x) {
                if (x >= 0 && y >= 0 && x < W && y < H) {
                    ++counts[static_cast<size_t>(y) * W + x];
                }
            }
        }
    }
    return counts;
}

TEST(SkinPlacement, FloorHalfRoundsDownOnBothSidesOfZero) {
    EXPECT_EQ(FloorHalf(0), 0);
    EXPECT_EQ(FloorHalf(45), 22);
    EXPECT_EQ(FloorHalf(50), 25);
    EXPECT_EQ(FloorHalf(-1), -1);
    EXPECT_EQ(FloorHalf(-49), -25);
    EXPECT_EQ(FloorHalf(-50), -25);
    EXPECT_EQ(FloorHalf(-51), -26);
}

TEST(SkinPlacement, TileGoesRowByRowWithPartialLastRowAndColumn) {
    // 10 x 7 with a 4 x 4 bitmap: two rows of three, the last ones cut off.
    EXPECT_EQ(SkinPlacement(SKIN_TILE, 10, 7, 4, 4),
              (Copies{At(0, 0, 4, 4), At(4, 0, 4, 4), At(8, 0, 4, 4), At(0, 4, 4, 4),
                      At(4, 4, 4, 4), At(8, 4, 4, 4)}));
    // Exact multiples get no extra row or column.
    EXPECT_EQ(SkinPlacement(SKIN_TILE, 8, 4, 4, 4).size(), 2u);
}

TEST(SkinPlacement, TileCoversEveryPixelExactlyOnce) {
    const int sizes[][4] = {{1, 1, 4, 4}, {37, 29, 4, 4}, {50, 50, 7, 3}, {3, 100, 1, 9}};
    for (const auto& s : sizes) {
        const std::vector<int> counts =
            Coverage(SkinPlacement(SKIN_TILE, s[0], s[1], s[2], s[3]), s[0], s[1]);
        EXPECT_EQ(counts, std::vector<int>(counts.size(), 1))
            << s[0] << " x " << s[1] << " with " << s[2] << " x " << s[3];
    }
}

TEST(SkinPlacement, TilingsDrawNothingIntoAnEmptyAreaOrFromAnEmptyBitmap) {
    for (int nMode : {SKIN_TILE, SKIN_TILE_TOP, SKIN_TILE_BOTTOM}) {
        EXPECT_TRUE(SkinPlacement(nMode, 0, 50, 4, 4).empty()) << nMode;
        EXPECT_TRUE(SkinPlacement(nMode, -3, 50, 4, 4).empty()) << nMode;
    }
    for (int nMode : {SKIN_TILE, SKIN_TILE_LEFT, SKIN_TILE_RIGHT}) {
        EXPECT_TRUE(SkinPlacement(nMode, 50, 0, 4, 4).empty()) << nMode;
        EXPECT_TRUE(SkinPlacement(nMode, 50, -1, 4, 4).empty()) << nMode;
    }
    // The edge tilings only look at their own direction.
    EXPECT_EQ(SkinPlacement(SKIN_TILE_TOP, 8, 0, 4, 4).size(), 2u);
    EXPECT_EQ(SkinPlacement(SKIN_TILE_LEFT, 0, 8, 4, 4).size(), 2u);
    // A bitmap without pixels must not tile forever.
    for (int nMode :
         {SKIN_TILE, SKIN_TILE_TOP, SKIN_TILE_BOTTOM, SKIN_TILE_LEFT, SKIN_TILE_RIGHT}) {
        EXPECT_TRUE(SkinPlacement(nMode, 20, 20, 0, 4).empty()) << nMode;
        EXPECT_TRUE(SkinPlacement(nMode, 20, 20, 4, 0).empty()) << nMode;
    }
}

TEST(SkinPlacement, EdgeTilingsRunAlongTheirEdge) {
    // Client 10 x 20, bitmap 4 x 6.
    EXPECT_EQ(SkinPlacement(SKIN_TILE_TOP, 10, 20, 4, 6),
              (Copies{At(0, 0, 4, 6), At(4, 0, 4, 6), At(8, 0, 4, 6)}));
    EXPECT_EQ(SkinPlacement(SKIN_TILE_BOTTOM, 10, 20, 4, 6),
              (Copies{At(0, 14, 4, 6), At(4, 14, 4, 6), At(8, 14, 4, 6)}));
    EXPECT_EQ(SkinPlacement(SKIN_TILE_LEFT, 10, 20, 4, 6),
              (Copies{At(0, 0, 4, 6), At(0, 6, 4, 6), At(0, 12, 4, 6), At(0, 18, 4, 6)}));
    EXPECT_EQ(SkinPlacement(SKIN_TILE_RIGHT, 10, 20, 4, 6),
              (Copies{At(6, 0, 4, 6), At(6, 6, 4, 6), At(6, 12, 4, 6), At(6, 18, 4, 6)}));
    // A bitmap taller than the area hangs above the top for the bottom edge.
    EXPECT_EQ(SkinPlacement(SKIN_TILE_BOTTOM, 5, 3, 4, 6),
              (Copies{At(0, -3, 4, 6), At(4, -3, 4, 6)}));
}

struct SingleCase {
    int nMode;
    int x;
    int y;
};

TEST(SkinPlacement, SingleCopiesInCornersCentreAndEdgeMiddles) {
    // Client 31 x 20, bitmap 8 x 6: the halves of 23 and 14.
    const SingleCase smaller[] = {{SKIN_CENTRE, 11, 7},        {SKIN_TOP_LEFT, 0, 0},
                                  {SKIN_TOP_RIGHT, 23, 0},     {SKIN_TOP_CENTRE, 11, 0},
                                  {SKIN_BOTTOM_LEFT, 0, 14},   {SKIN_BOTTOM_RIGHT, 23, 14},
                                  {SKIN_BOTTOM_CENTRE, 11, 14}};
    for (const SingleCase& c : smaller) {
        EXPECT_EQ(SkinPlacement(c.nMode, 31, 20, 8, 6), (Copies{At(c.x, c.y, 8, 6)})) << c.nMode;
    }
    // Client 30 x 20, bitmap 41 x 31: cropped evenly, the odd pixel on the
    // left and top (-11 / 2 is -6).
    const SingleCase larger[] = {{SKIN_CENTRE, -6, -6},        {SKIN_TOP_LEFT, 0, 0},
                                 {SKIN_TOP_RIGHT, -11, 0},     {SKIN_TOP_CENTRE, -6, 0},
                                 {SKIN_BOTTOM_LEFT, 0, -11},   {SKIN_BOTTOM_RIGHT, -11, -11},
                                 {SKIN_BOTTOM_CENTRE, -6, -11}};
    for (const SingleCase& c : larger) {
        EXPECT_EQ(SkinPlacement(c.nMode, 30, 20, 41, 31), (Copies{At(c.x, c.y, 41, 31)}))
            << c.nMode;
    }
    // The panel's case: a 100 x 100 bitmap centred in 50 x 50 shows its middle.
    EXPECT_EQ(SkinPlacement(SKIN_CENTRE, 50, 50, 100, 100), (Copies{At(-25, -25, 100, 100)}));
}

TEST(SkinPlacement, StretchIsOneCopyOverTheWholeArea) {
    EXPECT_EQ(SkinPlacement(SKIN_STRETCH, 37, 29, 4, 4), (Copies{{0, 0, 37, 29, true}}));
    EXPECT_EQ(SkinPlacement(SKIN_STRETCH, 10, 10, 100, 50), (Copies{{0, 0, 10, 10, true}}));
}

TEST(SkinPlacement, ModesOutsideTheTableDrawNothing) {
    for (int nMode : {-1, 13, 14, 255}) {
        EXPECT_TRUE(SkinPlacement(nMode, 50, 50, 4, 4).empty()) << nMode;
    }
}

}  // namespace
