// Pixel sizes for the resolution of a window's screen: the program's sizes
// are written for 96 dots per inch (100 % scaling) and follow the screen's
// scale from there, so that nothing is drawn smaller, or stretched bigger,
// than the rest of the desktop at 150 % or 200 %.
#pragma once

namespace dpi_scale {

// The resolution every fixed size of the program is written for.
constexpr int kDefaultDpi = 96;

// A resolution the system reported, or kDefaultDpi when it reported none
// (zero or a negative value from an API that failed).
int ValidDpi(int nDpi);

// nValue pixels at fromDpi as pixels at toDpi: nValue * toDpi / fromDpi,
// rounded to the nearest pixel with halves away from zero. An unusable
// resolution counts as kDefaultDpi; a result beyond int is held at its end.
int RescaleDpi(int nValue, int nFromDpi, int nToDpi);

// A size written for 96 dots per inch, at nDpi.
inline int ScaleForDpi(int nValue, int nDpi) {
    return RescaleDpi(nValue, kDefaultDpi, nDpi);
}

// A line that must stay visible: at least one pixel, and as many more as the
// scale asks for (1 at 100 %, 2 at 150 % and 200 %, 3 at 250 %).
int ScaleLineForDpi(int nValue, int nDpi);

struct Rect {
    int left;
    int top;
    int right;
    int bottom;
};

// A rectangle laid out at fromDpi, at toDpi. Each edge is scaled, not the
// size, so that controls that touch or line up at one resolution still do
// at the other.
Rect RescaleRect(const Rect& rc, int nFromDpi, int nToDpi);

}  // namespace dpi_scale
