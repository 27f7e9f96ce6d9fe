// Centring a window that nothing placed: over its owner or the work area,
// and always reachable on the work area.
#include <gtest/gtest.h>

#include <utility>

#include "framework/placement.h"

namespace {

TEST(Placement, CentredOverTheAreaAndKeptOnTheWorkArea) {
    using placement::CentredCorner;
    using placement::Point;
    using placement::Rect;
    const Rect work = {0, 0, 1024, 738};
    const Rect dialog = {0, 0, 600, 300};
    auto at = [](Point p) { return std::make_pair(p.x, p.y); };

    // Over an owner in the middle of the screen, and over the work area.
    EXPECT_EQ(at(CentredCorner(dialog, {312, 219, 712, 519}, work)), std::make_pair(212, 219));
    EXPECT_EQ(at(CentredCorner(dialog, work, work)), std::make_pair(212, 219));
    // An odd difference: the extra pixel goes right and down.
    EXPECT_EQ(at(CentredCorner({0, 0, 601, 301}, {0, 0, 1024, 738}, work)),
              std::make_pair(211, 218));
    // Where the window lies to begin with does not matter, only its size.
    EXPECT_EQ(at(CentredCorner({500, 400, 1100, 700}, work, work)), std::make_pair(212, 219));

    // An owner near an edge: pushed back onto the work area on that side.
    EXPECT_EQ(at(CentredCorner(dialog, {900, 650, 1000, 700}, work)), std::make_pair(424, 438));
    EXPECT_EQ(at(CentredCorner(dialog, {-200, -100, 0, 0}, work)), std::make_pair(0, 0));
    // A work area that does not start at 0 (a taskbar on the left or top).
    const Rect shifted = {60, 30, 1024, 768};
    EXPECT_EQ(at(CentredCorner(dialog, {0, 0, 100, 100}, shifted)), std::make_pair(60, 30));
    // Larger than the work area: its left and top edges stay on screen.
    EXPECT_EQ(at(CentredCorner({0, 0, 1200, 900}, work, work)), std::make_pair(0, 0));
    EXPECT_EQ(at(CentredCorner({0, 0, 1200, 900}, work, shifted)), std::make_pair(60, 30));
}

}  // namespace
