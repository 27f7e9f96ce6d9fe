// A window's stored top-left corner: the sections "MainWindow" (the remote
// panel) and "HotKeyWindow" (the Setup Hot Keys dialog). -1 on both axes
// means no corner is stored.
#pragma once

#include <cstdint>

#include "app/registry_section.h"

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
    // -1). When only one axis is -1 the window still moves, to -1 on it.
    bool GetPlacement(int* pX, int* pY) const;

#ifdef _WIN32
    // Load, then move the window to the stored corner (top of the Z order,
    // size kept) unless none is stored. Returns the status of Load.
    RegResult LoadAndPlace(CWnd& wnd);
    // Takes the corner of the window's restored rectangle (also while it is
    // minimised or hidden) and saves it. Returns the status of Save.
    RegResult SaveFrom(CWnd& wnd);
#endif

    std::int32_t m_nWindowTop = -1;
    std::int32_t m_nWindowLeft = -1;
};

extern CWindowPosSection g_mainWindowPos;
extern CWindowPosSection g_hotKeyWindowPos;
