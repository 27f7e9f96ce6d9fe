#include <windows.h>

#include "app/window_pos_section.h"
#include "framework/wnd.h"

RegResult CWindowPosSection::LoadAndPlace(CWnd& wnd) {
    const RegResult nResult = Load();
    int x = 0;
    int y = 0;
    if (GetPlacement(&x, &y)) {
        ::SetWindowPos(wnd.GetSafeHwnd(), HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
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
