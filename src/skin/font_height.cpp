#include "skin/font_height.h"

#include <cstdint>
#include <limits>

int PointsToHeightAt(int nPoints, int nDotsPerInch) {
    constexpr std::int64_t kPointsPerInch = 72;
    const std::int64_t nProduct = static_cast<std::int64_t>(nPoints) * nDotsPerInch;
    // Round half away from zero: add half the divisor on the side of the sign.
    const std::int64_t nHalf = nProduct < 0 ? -kPointsPerInch / 2 : kPointsPerInch / 2;
    std::int64_t nHeight = -((nProduct + nHalf) / kPointsPerInch);
    if (nHeight > std::numeric_limits<int>::max()) {
        nHeight = std::numeric_limits<int>::max();
    } else if (nHeight < std::numeric_limits<int>::min()) {
        nHeight = std::numeric_limits<int>::min();
    }
    return static_cast<int>(nHeight);
}
