#include <windows.h>

#include "settings/window_pos_section.h"
#include "framework/wnd.h"

namespace {

placement::Rect ToRect(const RECT& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}

// The work area and whole area of the monitor nearest to rc.
MONITORINFO NearestMonitor(const RECT& rc) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    ::GetMonitorInfoA(::MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), &info);
    return info;
}

}  // namespace

RegResult CWindowPosSection::LoadAndPlace(CWnd& wnd) {
    const RegResult nResult = Load();
    int x = 0;
    int y = 0;
    if (GetPlacement(&x, &y)) {
        HWND hWnd = wnd.GetSafeHwnd();
        RECT rc = {};
        ::GetWindowRect(hWnd, &rc);
        const int cx = rc.right - rc.left;
        const int cy = rc.bottom - rc.top;
        // Saved in the work-area coordinates of the window's monitor.
        MONITORINFO info = NearestMonitor(RECT{x, y, x + cx, y + cy});
        placement::Point pt =
            StoredCornerOnScreen({x, y}, ToRect(info.rcMonitor), ToRect(info.rcWork));
        const RECT rcOnScreen = {pt.x, pt.y, pt.x + cx, pt.y + cy};
        if (::MonitorFromRect(&rcOnScreen, MONITOR_DEFAULTTONULL) == nullptr) {
            // A monitor since removed (a laptop off its docking station).
            info = NearestMonitor(rcOnScreen);
            pt = CornerWhollyOn(ToRect(rcOnScreen), ToRect(info.rcWork));
        }
        ::SetWindowPos(hWnd, HWND_TOP, pt.x, pt.y, 0, 0, SWP_NOSIZE);
    }
    return nResult;
}

RegResult CWindowPosSection::SaveFrom(CWnd& wnd) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (::GetWindowPlacement(wnd.GetSafeHwnd(), &placement)) {
        m_nWindowTop = placement.rcNormalPosition.top;
        m_nWindowLeft = placement.rcNormalPosition.left;
    }
    return Save();
}
