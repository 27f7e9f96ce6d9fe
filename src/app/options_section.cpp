#include "app/options_section.h"

COptionsSection g_options;

COptionsSection::COptionsSection(RegKey hRootKey)
    : CRegistrySection(hRootKey, kOptionsSectionFormat, kSettingsCompany, kSettingsProduct) {}

RegResult COptionsSection::Exchange(RegKey hKey, bool bSave, bool bDefaults) {
    if (bDefaults) {
        m_bKeyboardControl = false;
        m_bSounds = false;
        return kRegSuccess;
    }
    CValuePass pass(*this, hKey, bSave);
    pass.Flag("bKeyboardControl", m_bKeyboardControl, false);
    pass.Flag("bSounds", m_bSounds, false);
    return pass.Finish();
}
