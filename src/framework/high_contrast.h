// Whether the user has switched Windows' high contrast on: while it is, the
// program's windows draw only in the system's colours, which the user chose
// for what they can read.
#pragma once

#include <windows.h>

#include <optional>

// SystemParametersInfo(SPI_GETHIGHCONTRAST) with HCF_HIGHCONTRASTON, unless
// an answer was set with SetHighContrastOverride.
bool IsHighContrastOn();

// Answers IsHighContrastOn with bOn from now on (nullopt: the system's
// answer again). For systems that cannot switch high contrast on, as Wine,
// and for the tests. User-interface thread only.
void SetHighContrastOverride(std::optional<bool> bOn);

// Labels on the window's own ground: in the window's text and background
// colours while high contrast is on, in the buttons' (the dialogs' face)
// otherwise.
COLORREF LabelTextColor();
COLORREF LabelBackColor();
