// Where a window goes when nothing placed it: the arithmetic of centring,
// apart from the windows and without a system call.
#pragma once

namespace placement {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};
struct Point {
    int x = 0;
    int y = 0;
};

// The top-left corner that centres a window of rcWindow's size over rcArea
// (the visible owner, or the work area), kept inside rcWork: a window that
// would stick out on one side is pushed back in, and one larger than the
// work area keeps its left and top edges on it.
Point CentredCorner(const Rect& rcWindow, const Rect& rcArea, const Rect& rcWork);

}  // namespace placement
