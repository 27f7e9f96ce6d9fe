#include "framework/high_contrast.h"

#include <windows.h>

namespace {

std::optional<bool> g_highContrastOverride;

}  // namespace

bool IsHighContrastOn() {
    if (g_highContrastOverride) {
        return *g_highContrastOverride;
    }
    HIGHCONTRASTA hc = {};
    hc.cbSize = sizeof hc;
    return ::SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) != FALSE &&
           (hc.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void SetHighContrastOverride(std::optional<bool> bOn) {
    g_highContrastOverride = bOn;
}

COLORREF LabelTextColor() {
    return ::GetSysColor(IsHighContrastOn() ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
}

COLORREF LabelBackColor() {
    return ::GetSysColor(IsHighContrastOn() ? COLOR_WINDOW : COLOR_BTNFACE);
}
