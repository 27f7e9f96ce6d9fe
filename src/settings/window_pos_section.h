// A window's stored top-left corner: the sections "MainWindow" (the remote
// panel) and "HotKeyWindow" (the Setup Hot Keys dialog). -1 on both axes
// means no corner is stored.
#pragma once

#include <cstdint>

#include "settings/registry_section.h"
#include "base/placement.h"

inline constexpr const char* kMainWindowSectionFormat = "Software\\%s\\%s\\MainWindow";
inline constexpr const char* kHotKeyWindowSectionFormat = "Software\\%s\\%s\\HotKeyWindow";

class CWnd;

class CWindowPosSection : public CRegistrySection {
  public:
    // The section at pszFormat (one of the formats above, completed with the
    // company and product names) under hRootKey.
    explicit CWindowPosSection(const char* pszFormat, RegKey hRootKey = kRegCurrentUser);

    RegResult Exchange(RegKey hKey, bool bSave, bool bDefaults) override;

    // Where a stored corner puts the window: false when none is stored (both
    // -1). When only one axis is -1 the window still moves, to -1 on it. A
    // stored number farther from 0 than kFarthest, which no screen reaches
    // (a damaged value), reads as kFarthest: the arithmetic that puts the
    // window on a screen then never overflows.
    bool GetPlacement(int* pX, int* pY) const;
    static constexpr int kFarthest = 1 << 24;

#ifdef _WIN32
    // Load, then move the window to the stored corner (top of the Z order,
    // size kept) unless none is stored; a corner that would put the window on
    // no monitor puts it on the nearest monitor's work area, whole. Returns
    // the status of Load.
    RegResult LoadAndPlace(CWnd& wnd);
    // Takes the corner of the window's restored rectangle (also while it is
    // minimised or hidden) and saves it. Returns the status of Save.
    RegResult SaveFrom(CWnd& wnd);
#endif

    std::int32_t m_nWindowTop = -1;
    std::int32_t m_nWindowLeft = -1;
};

// A stored corner is in work-area coordinates (those of the window's restored
// rectangle, which is where it is taken from): 0,0 is the top-left corner of
// the work area of the monitor the window is on. rcMonitor and rcWork are
// that monitor's rectangles in screen coordinates; the corner on the screen
// lies as far right and down of the work area's corner as the stored one of
// 0,0, so a taskbar at the top or left never moves the window.
placement::Point StoredCornerOnScreen(placement::Point ptStored, const placement::Rect& rcMonitor,
                                      const placement::Rect& rcWork);
// The corner that puts rcWindow (screen coordinates) wholly on rcWork, moved
// as little as it can be; one larger than the work area keeps its left and
// top edges on it. For a window that would be on no screen.
placement::Point CornerWhollyOn(const placement::Rect& rcWindow, const placement::Rect& rcWork);

extern CWindowPosSection g_mainWindowPos;
extern CWindowPosSection g_hotKeyWindowPos;
