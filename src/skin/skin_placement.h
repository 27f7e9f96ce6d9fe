// Where the skinned dialog copies its background bitmap: the thirteen
// placement modes as plain arithmetic on the client area's size (W x H) and
// the bitmap's size (w x h), giving the list of copies to draw in order.
#pragma once

#include <vector>

// Placement modes of the background bitmap (CSkinnedDialog::m_nStyle).
enum : int {
    SKIN_TILE = 0,
    SKIN_CENTRE = 1,
    SKIN_STRETCH = 2,
    SKIN_TILE_TOP = 3,
    SKIN_TILE_BOTTOM = 4,
    SKIN_TILE_LEFT = 5,
    SKIN_TILE_RIGHT = 6,
    SKIN_TOP_LEFT = 7,
    SKIN_TOP_RIGHT = 8,
    SKIN_TOP_CENTRE = 9,
    SKIN_BOTTOM_LEFT = 10,
    SKIN_BOTTOM_RIGHT = 11,
    SKIN_BOTTOM_CENTRE = 12,
    SKIN_MODE_COUNT = 13,
};

// One copy of the whole bitmap, from its top-left corner, to the rectangle
// (x, y, x + cx, y + cy) of the client area. cx x cy is the bitmap's own size
// except for a stretched copy, which covers the client area.
struct SkinCopy {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    bool bStretch = false;

    bool operator==(const SkinCopy&) const = default;
};

// The floor of half of n, also for negative n (-51 gives -26), so that a
// bitmap larger than the client area is cropped evenly on both sides.
int FloorHalf(int n);

// The copies that mode nMode draws, row by row for the tilings. A mode
// outside 0 to 12 draws nothing, and so does a tiling into an area that is
// not positive along the tiled direction or of a bitmap without pixels.
std::vector<SkinCopy> SkinPlacement(int nMode, int nClientWidth, int nClientHeight,
                                    int nBitmapWidth, int nBitmapHeight);
