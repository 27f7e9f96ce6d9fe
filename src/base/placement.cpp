#include "base/placement.h"

namespace placement {

namespace {

// The start of [nLow, nHigh) that puts a span of nSize centred on
// [nAreaLow, nAreaHigh), moved to lie within [nLow, nHigh) where it fits.
int CentredStart(int nSize, int nAreaLow, int nAreaHigh, int nLow, int nHigh) {
    int nStart = nAreaLow + ((nAreaHigh - nAreaLow) - nSize) / 2;
    if (nStart + nSize > nHigh) {
        nStart = nHigh - nSize;
    }
    if (nStart < nLow) {
        nStart = nLow;
    }
    return nStart;
}

}  // namespace

Point CentredCorner(const Rect& rcWindow, const Rect& rcArea, const Rect& rcWork) {
    return {CentredStart(rcWindow.Width(), rcArea.left, rcArea.right, rcWork.left, rcWork.right),
            CentredStart(rcWindow.Height(), rcArea.top, rcArea.bottom, rcWork.top, rcWork.bottom)};
}

}  // namespace placement
