#include "hotkeys/hot_key_settings.h"

CHotKeySettings g_hotKeySettings;

CHotKeySettings::CHotKeySettings(RegKey hRootKey)
    : CRegistrySection(hRootKey, kHotKeysSectionFormat, kSettingsCompany, kSettingsProduct) {
    SetDefaults();
}

void CHotKeySettings::SetDefaults() {
    m_bEnabled = true;
    for (int i = 0; i < kHotKeyCount; ++i) {
        m_strKey[i] = g_hotKeyActions[i].pszDefaultKey;
        m_nModifiers[i] = g_hotKeyActions[i].nDefaultModifiers;
    }
}

RegResult CHotKeySettings::Exchange(RegKey hKey, bool bSave, bool bDefaults) {
    if (bDefaults) {
        SetDefaults();
        return kRegSuccess;
    }
    CValuePass pass(*this, hKey, bSave);
    pass.Flag("bHotKeysEnabled", m_bEnabled, true);
    for (int i = 0; i < kHotKeyCount; ++i) {
        pass.Dword(g_hotKeyActions[i].pszModifierValue, m_nModifiers[i],
                   g_hotKeyActions[i].nDefaultModifiers);
    }
    for (int i = 0; i < kHotKeyCount; ++i) {
        pass.String(g_hotKeyActions[i].pszKeyValue, m_strKey[i], g_hotKeyActions[i].pszDefaultKey);
    }
    return pass.Finish();
}
