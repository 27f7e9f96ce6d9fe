#include "skin/skin_placement.h"

int FloorHalf(int n) {
    // Division truncates towards zero; step down for odd negative values.
    return n >= 0 ? n / 2 : -((-n + 1) / 2);
}

namespace {

// Copies along one row (y fixed) or one column (x fixed), from 0 while the
// position stays below nLimit.
void TileRow(std::vector<SkinCopy>& copies, int y, int nLimit, int w, int h) {
    for (int x = 0; x < nLimit; x += w) {
        copies.push_back({x, y, w, h, false});
    }
}

void TileColumn(std::vector<SkinCopy>& copies, int x, int nLimit, int w, int h) {
    for (int y = 0; y < nLimit; y += h) {
        copies.push_back({x, y, w, h, false});
    }
}

}  // namespace

std::vector<SkinCopy> SkinPlacement(int nMode, int W, int H, int w, int h) {
    std::vector<SkinCopy> copies;
    // A bitmap without pixels would tile forever in place.
    const bool bTiles = w > 0 && h > 0;
    switch (nMode) {
        case SKIN_TILE:
            if (bTiles) {
                for (int y = 0; y < H; y += h) {
                    TileRow(copies, y, W, w, h);
                }
            }
            break;
        case SKIN_CENTRE:
            copies.push_back({FloorHalf(W - w), FloorHalf(H - h), w, h, false});
            break;
        case SKIN_STRETCH:
            copies.push_back({0, 0, W, H, true});
            break;
        case SKIN_TILE_TOP:
            if (bTiles) {
                TileRow(copies, 0, W, w, h);
            }
            break;
        case SKIN_TILE_BOTTOM:
            if (bTiles) {
                TileRow(copies, H - h, W, w, h);
            }
            break;
        case SKIN_TILE_LEFT:
            if (bTiles) {
                TileColumn(copies, 0, H, w, h);
            }
            break;
        case SKIN_TILE_RIGHT:
            if (bTiles) {
                TileColumn(copies, W - w, H, w, h);
            }
            break;
        case SKIN_TOP_LEFT:
            copies.push_back({0, 0, w, h, false});
            break;
        case SKIN_TOP_RIGHT:
            copies.push_back({W - w, 0, w, h, false});
            break;
        case SKIN_TOP_CENTRE:
            copies.push_back({FloorHalf(W - w), 0, w, h, false});
            break;
        case SKIN_BOTTOM_LEFT:
            copies.push_back({0, H - h, w, h, false});
            break;
        case SKIN_BOTTOM_RIGHT:
            copies.push_back({W - w, H - h, w, h, false});
            break;
        case SKIN_BOTTOM_CENTRE:
            copies.push_back({FloorHalf(W - w), H - h, w, h, false});
            break;
        default:
            break;
    }
    return copies;
}
