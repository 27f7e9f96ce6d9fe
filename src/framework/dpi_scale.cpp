#include "framework/dpi_scale.h"

#include <cstdint>
#include <limits>

namespace dpi_scale {

int ValidDpi(int nDpi) {
    return nDpi > 0 ? nDpi : kDefaultDpi;
}

int RescaleDpi(int nValue, int nFromDpi, int nToDpi) {
    const std::int64_t nFrom = ValidDpi(nFromDpi);
    const std::int64_t nProduct = static_cast<std::int64_t>(nValue) * ValidDpi(nToDpi);
    // Round half away from zero: add half the divisor on the side of the sign.
    const std::int64_t nHalf = nProduct < 0 ? -(nFrom / 2) : nFrom / 2;
    std::int64_t nResult = (nProduct + nHalf) / nFrom;
    if (nResult > std::numeric_limits<int>::max()) {
        nResult = std::numeric_limits<int>::max();
    } else if (nResult < std::numeric_limits<int>::min()) {
        nResult = std::numeric_limits<int>::min();
    }
    return static_cast<int>(nResult);
}

int ScaleLineForDpi(int nValue, int nDpi) {
    const int nScaled = ScaleForDpi(nValue, nDpi);
    return nValue > 0 && nScaled < 1 ? 1 : nScaled;
}

Rect RescaleRect(const Rect& rc, int nFromDpi, int nToDpi) {
    return {RescaleDpi(rc.left, nFromDpi, nToDpi), RescaleDpi(rc.top, nFromDpi, nToDpi),
            RescaleDpi(rc.right, nFromDpi, nToDpi), RescaleDpi(rc.bottom, nFromDpi, nToDpi)};
}

}  // namespace dpi_scale
