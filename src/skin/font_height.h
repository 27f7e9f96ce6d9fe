// Font heights for point sizes: the arithmetic of CTextLabel::PointsToHeight,
// apart from the screen it asks for its resolution.
#pragma once

// The font height (negative: a character height, as a LOGFONT takes it) of
// nPoints points on a device of nDotsPerInch dots per inch:
// -(nPoints * nDotsPerInch / 72), the quotient rounded to the nearest whole
// pixel with halves away from zero, as the system's MulDiv rounds. A result
// beyond the range of int is held at its nearest end.
int PointsToHeightAt(int nPoints, int nDotsPerInch);
