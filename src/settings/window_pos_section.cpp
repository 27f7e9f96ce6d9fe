#include "settings/window_pos_section.h"

#include <algorithm>

CWindowPosSection g_mainWindowPos(kMainWindowSectionFormat);
CWindowPosSection g_hotKeyWindowPos(kHotKeyWindowSectionFormat);

CWindowPosSection::CWindowPosSection(const char* pszFormat, RegKey hRootKey)
    : CRegistrySection(hRootKey, pszFormat, kSettingsCompany, kSettingsProduct) {}

RegResult CWindowPosSection::Exchange(RegKey hKey, bool bSave, bool bDefaults) {
    if (bDefaults) {
        m_nWindowTop = -1;
        m_nWindowLeft = -1;
        return kRegSuccess;
    }
    CValuePass pass(*this, hKey, bSave);
    pass.Int("nWindowTop", m_nWindowTop, -1);
    pass.Int("nWindowLeft", m_nWindowLeft, -1);
    return pass.Finish();
}

bool CWindowPosSection::GetPlacement(int* pX, int* pY) const {
    if (m_nWindowTop == -1 && m_nWindowLeft == -1) {
        return false;
    }
    *pX = std::clamp(m_nWindowLeft, -kFarthest, kFarthest);
    *pY = std::clamp(m_nWindowTop, -kFarthest, kFarthest);
    return true;
}

placement::Point StoredCornerOnScreen(placement::Point ptStored, const placement::Rect& rcMonitor,
                                      const placement::Rect& rcWork) {
    return {ptStored.x + rcWork.left - rcMonitor.left, ptStored.y + rcWork.top - rcMonitor.top};
}

namespace {

int StartWhollyOn(int nStart, int nSize, int nLow, int nHigh) {
    if (nStart + nSize > nHigh) {
        nStart = nHigh - nSize;
    }
    return nStart < nLow ? nLow : nStart;
}

}  // namespace

placement::Point CornerWhollyOn(const placement::Rect& rcWindow, const placement::Rect& rcWork) {
    return {StartWhollyOn(rcWindow.left, rcWindow.Width(), rcWork.left, rcWork.right),
            StartWhollyOn(rcWindow.top, rcWindow.Height(), rcWork.top, rcWork.bottom)};
}
