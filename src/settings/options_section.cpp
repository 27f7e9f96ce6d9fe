#include "settings/options_section.h"

COptionsSection g_options;

COptionsSection::COptionsSection(RegKey hRootKey)
    : CRegistrySection(hRootKey, kOptionsSectionFormat, kSettingsCompany, kSettingsProduct) {}

RegResult COptionsSection::Exchange(RegKey hKey, bool bSave, bool bDefaults) {
    if (bDefaults) {
        m_bKeyboardControl = false;
        m_bSounds = false;
        m_nPort = 0;
        m_nLastPort = 0;
        m_nPosition = m_nWidth = kStartLevel;
        return kRegSuccess;
    }
    CValuePass pass(*this, hKey, bSave);
    pass.Flag("bKeyboardControl", m_bKeyboardControl, false);
    pass.Flag("bSounds", m_bSounds, false);
    pass.Int("nPort", m_nPort, 0);
    pass.Int("nLastPort", m_nLastPort, 0);
    pass.Int("nPosition", m_nPosition, kStartLevel);
    pass.Int("nWidth", m_nWidth, kStartLevel);
    if (!bSave) {
        // A hand-edited number that names no port means automatic.
        for (std::int32_t* pPort : {&m_nPort, &m_nLastPort}) {
            if (*pPort < 0 || *pPort > kMaxPortNumber) {
                *pPort = 0;
            }
        }
        for (std::int32_t* pLevel : {&m_nPosition, &m_nWidth}) {
            if (*pLevel < 0 || *pLevel > 255) {
                *pLevel = kStartLevel;
            }
        }
    }
    return pass.Finish();
}
